#pragma once
// Demo data for the production tests: a copy of the demo database with extra invoices
// whose numbers are hard on file names, and settings files pointing at it.
#include <string>
#include <vector>

namespace velkaro::test {

// Copies of RE24-0001 under numbers with "/", ":", "..", a leading "-" and 200
// characters, in the order they were added.
const std::vector<std::string>& OddInvoiceNumbers();

// The company of the demo database besides "Muster GmbH".
inline constexpr const char* kSecondCompany = "Nordwind Handels GmbH";

// The demo database plus the odd invoices, and the second company without an IBAN of
// its own; built once per test program (sqlite3).
const std::string& ProductionDatabase();

// Runs SQL on a database file through sqlite3 and returns its output; raises on failure.
std::string RunSqlite(const std::string& database, const std::string& sql);

// Posted invoice numbers of a company, ascending (through sqlite3).
// The invoices of the product scenarios (posted up to 2024; the posted-data cases of 2025,
// some with findings on purpose, are the XML tests' own).
std::vector<std::string> DemoInvoiceNumbers(const std::string& database, const std::string& company);

// One value to change in a settings file: section, key and value.
struct TIniValue {
    std::string Section;
    std::string Key;
    std::string Value;
};

// Writes the demo settings with `database` and the output folder `outDir`, and every
// value of `changes` put in place (the key replaced, else added to its section, else a
// new section at the end).
void WriteProductionSettings(const std::string& iniFile, const std::string& database, const std::string& outDir,
                             const std::vector<TIniValue>& changes = {});

// The built program: $VELKARO_BINARY_DIR/velkaro, else next to the test program's folder.
std::string VelkaroProgram();

// Runs the built program in `folder` (also its XDG_CONFIG_HOME) with the settings file
// `iniFile`, C.UTF-8 and `args` (already quoted for the shell); its exit code, and its
// standard output and error in `output`.
int RunVelkaroIn(const std::string& folder, const std::string& iniFile, const std::string& args, std::string& output);

// Lines of a text file the program wrote, without byte-order mark and line ends. Checks
// that the file starts with a byte-order mark and every line ends with CR LF; a missing
// file gives no lines.
std::vector<std::string> ReadCrLfLines(const std::string& file);

// Lines of a batch log without their time stamps. Checks that the file starts with a
// byte-order mark, every line ends with CR LF and begins with "yyyy-mm-dd hh:nn:ss ".
std::vector<std::string> ReadBatchLog(const std::string& file);

// The lines between the start line "Start Velkaro …" (checked) and the end line
// "Ende: …" (when there is one: a killed run has none).
std::vector<std::string> BatchLogBody(std::vector<std::string> lines);

// Single-quoted for the shell.
std::string ShellQuoted(const std::string& s);

} // namespace velkaro::test
