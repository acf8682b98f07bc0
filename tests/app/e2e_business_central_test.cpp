// The built program produces every demo document of both companies from the demo
// database in NAV naming and from the one in Business Central naming: the same files,
// and the XML of each document byte for byte the same.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "demo_mail_setup.h"
#include "generate_demo_setup.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;
using test::ShellQuoted;

// File name -> content of every XML the program wrote for all documents of both
// companies posted up to the end of 2025.
std::map<std::string, std::string> ProduceAll(const std::string& database, std::string& log) {
    test::TempFolder dir;
    const std::string ini = dir.File("velkaro.ini");
    std::map<std::string, std::string> files;
    for (const std::string company : {"Muster GmbH", test::kSecondCompany}) {
        const std::string out = dir.File(company);
        test::WriteProductionSettings(ini, database, out);
        std::string output;
        // Documents with findings on purpose end the run with exit code 1; each is still written.
        const int code = test::RunVelkaroIn(dir.Path(), ini,
                                            "/von 01.01.2000 /bis 31.12.2025 /xml /mandant " + ShellQuoted(company),
                                            output);
        EXPECT_LE(code, 1) << output;
        log += ReadFileBytes(dir.File("velkaro.log"));
        for (const auto& entry : std::filesystem::directory_iterator(out))
            if (entry.path().extension() == ".xml")
                files[company + "/" + entry.path().filename().string()] = ReadFileBytes(entry.path().string());
    }
    return files;
}

TEST(BusinessCentralDemo, ProducesTheSameXmlAsTheNavDemo) {
    if (!FileExists(test::VelkaroProgram()))
        VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
    if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    std::string navLog, bcLog;
    const std::map<std::string, std::string> nav = ProduceAll(test::DemoDatabase(), navLog);
    const std::map<std::string, std::string> bc = ProduceAll(test::BcDemoDatabase(), bcLog);
    // Every invoice and credit memo of the demo: the 2024 scenarios, the 2025 cases and
    // the second company's invoices.
    EXPECT_GE(nav.size(), 35u);
    EXPECT_TRUE(nav.count("Muster GmbH/Rechnungskorrektur_GS24-0002.xml"));
    EXPECT_TRUE(nav.count("Muster GmbH/Rechnung_RE24-0101.xml")) << "the card payment";
    ASSERT_EQ(bc.size(), nav.size());
    for (const auto& [name, xml] : nav) {
        auto other = bc.find(name);
        ASSERT_NE(other, bc.end()) << name;
        EXPECT_TRUE(other->second == xml) << name << " differs";
    }
    EXPECT_THAT(nav.at("Muster GmbH/Rechnung_RE24-0101.xml"), HasSubstr("<ram:TypeCode>54</ram:TypeCode>"));
    // The log names the product of each database after its start line.
    EXPECT_THAT(navLog, HasSubstr(" Start Velkaro "));
    EXPECT_THAT(navLog, HasSubstr("   Datenbank: Microsoft Dynamics NAV 2016 (9.00, Build 47256)\r\n"));
    EXPECT_THAT(bcLog, HasSubstr("   Datenbank: Business Central 23.5 (Build 16502)\r\n"));
}

// A copy migrated halfway: the log says that the Business Central tables are read.
TEST(BusinessCentralDemo, HalfMigratedCopyIsSaidInTheLog) {
    if (!FileExists(test::VelkaroProgram()))
        VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
    if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    test::TempFolder dir;
    const std::string db = dir.File("halb.db");
    WriteFileBytes(db, ReadFileBytes(test::BcDemoDatabase()));
    test::RunSqlite(db, "CREATE TABLE \"Muster GmbH$Sales Invoice Header\" ([No_] TEXT);");
    const std::string ini = dir.File("velkaro.ini");
    test::WriteProductionSettings(ini, db, dir.File("out"));
    std::string output;
    EXPECT_EQ(test::RunVelkaroIn(dir.Path(), ini, "/rg RE24-0001", output), 0) << output;
    const std::vector<std::string> log = test::BatchLogBody(test::ReadBatchLog(dir.File("velkaro.log")));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "  Datenbank: Business Central 23.5 (Build 16502)");
    EXPECT_EQ(log[1], "  Hinweis: Mandant „Muster GmbH“: Tabellen in NAV- und in Business-Central-Benennung gefunden "
                      "(halb migrierte Kopie?); gelesen werden die Business-Central-Tabellen (mit App-ID), die "
                      "NAV-Tabellen ohne App-ID bleiben unbeachtet.");
    EXPECT_TRUE(FileExists(dir.File("out/Rechnung_RE24-0001.xml")) || FileExists(dir.File("out/Rechnung_RE24-0001.pdf")));
}

} // namespace
} // namespace velkaro
