#pragma once
// Check of the Leitweg-ID, the routing identifier of German public-sector buyers:
// coarse address, optional fine address and two check digits, joined by hyphens.
#include <string>

namespace velkaro {

// True when the text (trimmed, ASCII upper-cased) is a valid Leitweg-ID. Otherwise
// false and `reason` names the first rule that fails, in German; empty on success.
bool CheckLeitwegID(const std::string& text, std::string& reason);

} // namespace velkaro
