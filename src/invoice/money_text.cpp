#include "invoice/money_text.h"

#include "platform/number_format.h"

namespace velkaro {

std::string FormatGermanMoney(Currency amount) { return GroupDecimal(amount.ToString(2), ".", ","); }

std::string FormatUserMoney(Currency amount) { return LocalizeDecimalPoint(amount.ToString(2)); }

std::string FormatUserMoneyGrouped(Currency amount) { return LocalizeGroupedDecimal(amount.ToString(2)); }

} // namespace velkaro
