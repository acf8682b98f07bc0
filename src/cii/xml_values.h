#pragma once
// Text forms of values in the XML: "." as decimal separator, no grouping, whatever
// the locale. Not-finite numbers throw velkaro::Exception.
#include <string>

#include "invoice/currency.h"
#include "platform/datetime.h"

namespace velkaro {

enum class TRoundTies { Even, AwayFromZero };

// Exactly `decimals` places with "." and no grouping, rounded on the digits of the
// shortest text that reads back as `value`, so 0.125 counts as the tie it looks like.
// A result of zero never carries a "-".
std::string FixedDecimalText(double value, int decimals, TRoundTies ties);

// Exactly two decimals, half away from zero: 1234.5 -> "1234.50", -0.01 -> "-0.01".
std::string XmlAmount(Currency value);
// Rounded to four decimals with ties to even, written with four: 2.5 -> "2.5000".
std::string XmlDecimal4(double value);
// Exactly two decimals, half away from zero: 19 -> "19.00".
std::string XmlPercent(double value);
// "<udt:DateTimeString format=\"102\">yyyymmdd</udt:DateTimeString>".
std::string XmlDate(TDateTime date);
// The same in the qualified type of a referenced document's date (BT-26).
std::string XmlFormattedDate(TDateTime date);

} // namespace velkaro
