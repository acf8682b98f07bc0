#pragma once
// The rule ids of the check and of validate-cii side by side, for the tests that hold
// the check to the validator.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cii/en16931_check.h"

namespace velkaro::test {

std::set<std::string> RuleIds(const TCheckFindings& findings);
// The finding of `rule`, or nullptr.
const TCheckFinding* FindingOf(const TCheckFindings& findings, const std::string& rule);
// The ids sorted, joined by one blank.
std::string Joined(const std::set<std::string>& ids);
// validate-cii -q `options` over `files`: per file name the fatal rule ids; an XSD or XML
// error counts as the id "XSD" or "XML".
std::map<std::string, std::set<std::string>> ValidatorRuleIds(const std::vector<std::string>& files,
                                                              std::string& output, const std::string& options = "");

} // namespace velkaro::test
