#pragma once
// The text forms of an amount, each rounded to cents half away from zero; an amount that
// rounds to zero carries no minus sign.
#include <string>

#include "invoice/currency.h"

namespace velkaro {

// "#,##0.00" in the German form of the printed invoice and its texts, whatever the
// locale: 1190 -> "1.190,00", -0.01 -> "-0,01".
std::string FormatGermanMoney(Currency amount);
// "0.00" with the user's decimal separator, for log and warning lines: "1190,00".
std::string FormatUserMoney(Currency amount);
// "#,##0.00" with the user's separators, for the invoice list: "1.190,00" in Germany.
std::string FormatUserMoneyGrouped(Currency amount);

} // namespace velkaro
