#pragma once
// The process arguments of a batch run: "/rg" invoice numbers, "/mandant", "/out" and
// the switches "xml", "mail", "layout".
#include <optional>
#include <string>
#include <vector>

namespace velkaro {

struct TCommandLine {
    std::vector<std::string> InvoiceNos;  // command-line order, duplicates kept
    std::optional<std::string> Company;   // "/mandant", the last one wins
    std::optional<std::string> OutDir;    // "/out", the last one wins
    bool SaveXml = false;                 // switch "xml"
    bool Mail = false;                    // switch "mail"
    bool Layout = false;                  // switch "layout"
};

// args: the process arguments after the program path, already split and unquoted.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// True when an argument is "/" or "-" followed by the name, letter case ignored.
bool HasSwitch(const std::vector<std::string>& args, const std::string& name);

} // namespace velkaro
