#include "erp/odbc_drivers.h"

#include "erp/odbc_backend.h"
#include "platform/process.h"
#include "platform/text.h"

namespace velkaro {

std::vector<std::string> ParseOdbcinstDriverNames(const std::string& output) {
    std::vector<std::string> names;
    for (const std::string& raw : Split(output, '\n')) {
        std::string line = Trim(raw);
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') names.push_back(line.substr(1, line.size() - 2));
    }
    return names;
}

std::string ParseOdbcinstDriverLibrary(const std::string& output) {
    for (const std::string& raw : Split(output, '\n')) {
        std::string line = Trim(raw);
        size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(TrimRight(line.substr(0, eq)), "Driver")) return Trim(line.substr(eq + 1));
    }
    return {};
}

std::vector<TOdbcDriverEntry> InstalledOdbcDriverEntries() {
    std::vector<TOdbcDriverEntry> entries;
    if (std::optional<std::string> list = ReadProgramOutput({"odbcinst", "-q", "-d"})) {
        for (std::string& name : ParseOdbcinstDriverNames(*list)) {
            std::optional<std::string> details = ReadProgramOutput({"odbcinst", "-q", "-d", "-n", name});
            entries.push_back({std::move(name), details ? ParseOdbcinstDriverLibrary(*details) : std::string()});
        }
        return entries;
    }
    for (std::string& name : InstalledOdbcDrivers()) entries.push_back({std::move(name), {}});
    return entries;
}

} // namespace velkaro
