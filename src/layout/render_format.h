#pragma once
// Number forms of the printed invoice: decimal comma and "." between thousands, whatever
// the user's locale. Amounts use FormatGermanMoney (invoice/money_text.h).
#include <string>

namespace velkaro {

// "#,##0.###": 1 -> "1", 2.5 -> "2,5", 1234.125 -> "1.234,125".
std::string FormatQuantity(double quantity);
// "#,##0.00##" when the price has digits beyond the cents, else "#,##0.00":
// 12.5 -> "12,50", 0.125 -> "0,125", 3.14159 -> "3,1416".
std::string FormatPrice(double price);
// "0.##": 19 -> "19", 5.5 -> "5,5".
std::string FormatPercent(double percent);

// The value with between minDecimals and maxDecimals decimals (optional ones only when
// not zero), rounded half away from zero on its 15 significant digits, so 0.125 reads as
// written and not as its binary neighbour; optional "." grouping of thousands.
std::string FormatGermanNumber(double value, int minDecimals, int maxDecimals, bool grouping);

// Baseline of the first line of a text box whose top edge is at `top` (mm), for a font
// of `size` points.
double FirstBaseline(double size, double top);

} // namespace velkaro
