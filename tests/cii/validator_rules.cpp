#include "validator_rules.h"

#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro::test {

std::set<std::string> RuleIds(const TCheckFindings& findings) {
    std::set<std::string> ids;
    for (const TCheckFinding& f : findings.Items()) ids.insert(f.Rule);
    return ids;
}

const TCheckFinding* FindingOf(const TCheckFindings& findings, const std::string& rule) {
    for (const TCheckFinding& f : findings.Items())
        if (f.Rule == rule) return &f;
    return nullptr;
}

std::string Joined(const std::set<std::string>& ids) {
    std::string s;
    for (const std::string& id : ids) s += (s.empty() ? "" : " ") + id;
    return s;
}

std::map<std::string, std::set<std::string>> ValidatorRuleIds(const std::vector<std::string>& files,
                                                              std::string& output, const std::string& options) {
    std::string args;
    for (const std::string& f : files) args += " '" + f + "'";
    RunCommand("'" + SourceDir() + "/third_party/validation/validate-cii' -q " + options + args, output);
    std::map<std::string, std::set<std::string>> ids;
    std::string current;
    for (const std::string& line : Split(output, '\n')) {
        if (line.rfind("OK ", 0) == 0 || line.rfind("FAIL ", 0) == 0) {
            current = Trim(line.substr(line.find(' ')));
            ids[current];
        } else if (line.rfind("  [", 0) == 0) {
            ids[current].insert(line.substr(3, line.find(']') - 3));
        } else if (line.rfind("  XSD:", 0) == 0 || line.rfind("  XML:", 0) == 0) {
            ids[current].insert(line.substr(2, 3));
        }
    }
    return ids;
}

} // namespace velkaro::test
