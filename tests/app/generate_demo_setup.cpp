#include "generate_demo_setup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <regex>

#include "demo_mail_setup.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro::test {

namespace {

constexpr const char* kSourceInvoice = "RE24-0001";

std::string SqlText(const std::string& s) { return "'" + ReplaceAll(s, "'", "''") + "'"; }

// Lines of one section (without the header) end where the next header begins.
void PutIniValue(std::vector<std::string>& lines, const TIniValue& change) {
    const std::string header = "[" + change.Section + "]";
    const std::string entry = change.Key + "=" + change.Value;
    size_t i = 0;
    while (i < lines.size() && !SameText(Trim(lines[i]), header)) ++i;
    if (i == lines.size()) {
        lines.push_back(header);
        lines.push_back(entry);
        return;
    }
    size_t end = i + 1;
    while (end < lines.size() && !Trim(lines[end]).starts_with("[")) ++end;
    for (size_t k = i + 1; k < end; ++k) {
        const std::string line = Trim(lines[k]);
        const size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(Trim(line.substr(0, eq)), change.Key)) {
            lines[k] = entry;
            return;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i + 1), entry);
}

} // namespace

std::string VelkaroProgram() {
    if (const char* dir = std::getenv("VELKARO_BINARY_DIR"); dir && *dir) return CombinePath(dir, "velkaro");
    return ExtractFilePath(ExecutablePath()) + "../velkaro";  // <build>/tests/test_app
}

int RunVelkaroIn(const std::string& folder, const std::string& iniFile, const std::string& args, std::string& output) {
    const std::string command = "cd " + ShellQuoted(folder) + " && env LC_ALL=C.UTF-8 VELKARO_INI=" +
                                ShellQuoted(iniFile) + " XDG_CONFIG_HOME=" + ShellQuoted(folder) + " " +
                                ShellQuoted(VelkaroProgram()) + " " + args;
    return RunCommand(command, output);
}

std::vector<std::string> ReadCrLfLines(const std::string& file) {
    std::vector<std::string> lines;
    if (!FileExists(file)) return lines;
    const std::string text = ReadFileBytes(file);
    EXPECT_TRUE(text.starts_with(kUtf8Bom)) << file;
    for (std::string line : Split(StripUtf8Bom(text), '\n')) {
        if (line.empty()) continue;
        EXPECT_TRUE(line.ends_with("\r")) << line;
        if (line.ends_with("\r")) line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ReadBatchLog(const std::string& file) {
    static const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} )");
    EXPECT_TRUE(FileExists(file)) << file;
    std::vector<std::string> lines;
    for (const std::string& line : ReadCrLfLines(file)) {
        EXPECT_TRUE(std::regex_search(line, stamp)) << line;
        lines.push_back(line.size() > 20 ? line.substr(20) : std::string());
    }
    return lines;
}

std::vector<std::string> BatchLogBody(std::vector<std::string> lines) {
    if (lines.empty() || !lines.front().starts_with("Start Velkaro ")) {
        ADD_FAILURE() << "no start line";
        return lines;
    }
    lines.erase(lines.begin());
    if (!lines.empty() && lines.back().starts_with("Ende: ")) lines.pop_back();
    return lines;
}

std::string ShellQuoted(const std::string& s) { return "'" + ReplaceAll(s, "'", "'\\''") + "'"; }

std::string RunSqlite(const std::string& database, const std::string& sql) {
    std::string output;
    if (RunCommand("sqlite3 -bail " + ShellQuoted(database) + " " + ShellQuoted(sql), output) != 0)
        throw Exception("sqlite3 fehlgeschlagen: " + output);
    return output;
}

const std::vector<std::string>& OddInvoiceNumbers() {
    static const std::vector<std::string> numbers = {"RE/2024/17", "RE:2024:18", "..", "-RE24-19",
                                                     "L" + std::string(199, '9')};
    return numbers;
}

const std::string& ProductionDatabase() {
    static const std::unique_ptr<TempFolder> folder = std::make_unique<TempFolder>();
    static const std::string db = [] {
        const std::string file = folder->File("velkaro-produktion.db");
        WriteFileBytes(file, ReadFileBytes(DemoDatabase()));
        const std::string header = "\"Muster GmbH$Sales Invoice Header\"";
        const std::string lines = "\"Muster GmbH$Sales Invoice Line\"";
        std::string sql = "BEGIN;";
        for (const std::string& no : OddInvoiceNumbers()) {
            sql += "CREATE TEMP TABLE h AS SELECT * FROM " + header + " WHERE [No_] = " + SqlText(kSourceInvoice) + ";";
            sql += "UPDATE h SET [No_] = " + SqlText(no) + ";";
            sql += "INSERT INTO " + header + " SELECT * FROM h; DROP TABLE h;";
            sql += "CREATE TEMP TABLE l AS SELECT * FROM " + lines + " WHERE [Document No_] = " +
                   SqlText(kSourceInvoice) + ";";
            sql += "UPDATE l SET [Document No_] = " + SqlText(no) + ";";
            sql += "INSERT INTO " + lines + " SELECT * FROM l; DROP TABLE l;";
        }
        sql += "UPDATE \"" + std::string(kSecondCompany) + "$Company Information\" SET [IBAN] = '';";
        sql += "COMMIT;";
        RunSqlite(file, sql);
        return file;
    }();
    return db;
}

std::vector<std::string> DemoInvoiceNumbers(const std::string& database, const std::string& company) {
    const std::string table = "\"" + ReplaceAll(company, "\"", "\"\"") + "$Sales Invoice Header\"";
    std::vector<std::string> numbers;
    for (const std::string& line : Split(RunSqlite(database, "SELECT [No_] FROM " + table +
                                                          " WHERE [Posting Date] < '2025-01-01' ORDER BY [No_];"), '\n'))
        if (!line.empty()) numbers.push_back(line);
    return numbers;
}

void WriteProductionSettings(const std::string& iniFile, const std::string& database, const std::string& outDir,
                             const std::vector<TIniValue>& changes) {
    std::vector<std::string> lines = Split(ReplaceAll(ReadTextFile(SourceDir() + "/demo/velkaro.ini"), "\r", ""), '\n');
    PutIniValue(lines, {"Datenbank", "Datenbank", database});
    PutIniValue(lines, {"Ausgabe", "Ordner", outDir});
    for (const TIniValue& change : changes) PutIniValue(lines, change);
    WriteTextLines(iniFile, lines);
}

} // namespace velkaro::test
