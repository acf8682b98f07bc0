#pragma once
// Numbers in the user's regional format (LC_NUMERIC), for log and warning lines only.
// XML, PDF syntax and printed amounts have fixed forms of their own and must not use the
// user's separators; GroupDecimal, with separators given, serves both.
#include <string>
#include <string_view>

namespace velkaro {

// The decimal separator of the user's regional settings ("," on German systems, "."
// for C.UTF-8), read once from the environment (LC_ALL, LC_NUMERIC, LANG) without
// changing the process locale. A test override set below takes precedence.
std::string UserDecimalSeparator();

// The decimal separator of a named locale ("de_DE.UTF-8"); an empty name means the
// environment's. "." when the locale is not installed.
std::string LocaleDecimalSeparator(const std::string& localeName);

// Replaces the user's separator for the whole process until reset; for tests.
void SetDecimalSeparatorOverride(const std::string& separator);
void ResetDecimalSeparatorOverride();

// Fixed-point text with `decimals` places (0..15), no grouping, and the user's decimal
// separator: FormatUserFloat(19, 2) == "19,00" on a German system. NaN and infinities
// give "NAN", "INF", "-INF".
std::string FormatUserFloat(double value, int decimals);

// Puts the user's separator in place of the "." of a plain decimal text ("-0.04").
std::string LocalizeDecimalPoint(std::string_view plainDecimal);

// The thousands separator of the user's regional settings ("." on German systems, ""
// when the locale groups no digits, as C.UTF-8 does); read and overridden like the
// decimal separator.
std::string UserThousandsSeparator();
std::string LocaleThousandsSeparator(const std::string& localeName);
void SetThousandsSeparatorOverride(const std::string& separator);
void ResetThousandsSeparatorOverride();

// A plain decimal text ("-1234567.50") with `thousands` between the groups of three
// whole digits and `decimal` in place of the ".": ("-1234567.50", ".", ",") gives
// "-1.234.567,50". A leading sign stays in front.
std::string GroupDecimal(std::string_view plainDecimal, std::string_view thousands, std::string_view decimal);

// The pattern "#,##0.00" applied to a plain decimal text: the whole digits grouped by
// three with the user's thousands separator, the user's decimal separator in place of
// the ".": "-1234567.50" -> "-1.234.567,50" on a German system.
std::string LocalizeGroupedDecimal(std::string_view plainDecimal);

} // namespace velkaro
