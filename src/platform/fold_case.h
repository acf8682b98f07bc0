#pragma once
// Comparing text without regard to letter case across the whole of Unicode ("Ü" equals
// "ü", "STRASSE" equals "straße"), for codes and addresses typed by people.
#include <string>

namespace velkaro {

// Case-folded form of a UTF-8 text (full Unicode case folding); invalid UTF-8 is
// folded byte-wise so that comparing never fails.
std::string FoldCase(const std::string& text);
bool SameTextUnicode(const std::string& a, const std::string& b);

} // namespace velkaro
