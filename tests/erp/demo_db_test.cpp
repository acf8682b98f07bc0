// The demo database as scripts/demo.sh prepares it: demo/make-demo-db.sh next to an
// unchanged copy of demo/velkaro.ini.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "nav_test_db.h"
#include "platform/files.h"
#include "support/test_support.h"

using namespace velkaro;
using namespace velkaro::test;
namespace fs = std::filesystem;

namespace {
int RunScript(const std::string& script, const std::string& args) {
    std::string cmd = "bash '" + SourceDir() + "/demo/" + script + "' " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str());
}
bool HaveSqliteShell() { return std::system("command -v sqlite3 >/dev/null 2>&1") == 0; }
} // namespace

TEST(DemoDatabase, ScriptBuildsOnceAndTheDemoSettingsOpenIt) {
    if (!HaveSqliteShell()) VELKARO_SKIP_UNLESS_CI() << "sqlite3 (Paket sqlite3) fehlt: Skript nicht prüfbar";
    TempFolder folder;
    const std::string db = folder.File("velkaro-demo.db");
    ASSERT_EQ(RunScript("make-demo-db.sh", "'" + db + "'"), 0);
    ASSERT_TRUE(FileExists(db));
    const auto built = fs::last_write_time(db);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(RunScript("make-demo-db.sh", "'" + db + "'"), 0);
    EXPECT_EQ(fs::last_write_time(db), built) << "an up-to-date database is left alone";
    EXPECT_TRUE(fs::directory_iterator(folder.Path()) != fs::directory_iterator());
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        EXPECT_EQ(entry.path().filename(), "velkaro-demo.db") << "no temporary file left behind";

    fs::copy_file(SourceDir() + "/demo/velkaro.ini", folder.File("velkaro.ini"));
    TSettings settings(folder.File("velkaro.ini"));
    EXPECT_EQ(settings.Company, "Muster GmbH");
    TNavData nav(settings);
    EXPECT_EQ(nav.Companies(), (std::vector<std::string>{"Muster GmbH", "Nordwind Handels GmbH"}));
    auto inv = nav.LoadInvoice(settings.Company, "RE24-0002");
    EXPECT_EQ(inv->BuyerReference, "05315000-KREIS01-55");
    EXPECT_EQ(nav.LoadSeller(settings.Company).IBAN, "DE93600501010002034024");
}

TEST(DemoDatabase, ScriptAndTestBuilderAgree) {
    if (!HaveSqliteShell()) VELKARO_SKIP_UNLESS_CI() << "sqlite3 (Paket sqlite3) fehlt: Skript nicht prüfbar";
    TempFolder folder;
    ASSERT_EQ(RunScript("make-demo-db.sh", "'" + folder.File("a.db") + "'"), 0);
    // Same rows in every table, whichever way the database was built.
    TSettings settingsA(folder.File("a.ini"));
    settingsA.Provider = "SQLite";
    settingsA.Database = folder.File("a.db");
    TSettings settingsB(folder.File("b.ini"));
    settingsB.Provider = "SQLite";
    settingsB.Database = DemoDbPath();
    TNavData a(settingsA), b(settingsB);
    auto tables = a.NewQuery("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' ORDER BY name");
    tables->Open();
    int count = 0;
    for (; !tables->Eof(); tables->Next(), ++count) {
        const std::string sql = "SELECT count(*) FROM \"" + tables->Text(0) + "\"";
        EXPECT_EQ(a.QueryFirstRow(sql), b.QueryFirstRow(sql)) << tables->Text(0);
    }
    EXPECT_EQ(count, 35) << "16 tables per company, four optional ones (CMNM, document layouts, credit memos) "
                            "missing in the second, NAV's four e-invoicing tables in the first only, 3 database-wide";
}

// The bulk database: N invoices and a credit memo for every tenth, each correcting its
// invoice with two of its lines.
TEST(DemoDatabase, BulkScriptAddsACreditMemoPerTenInvoices) {
    if (!HaveSqliteShell()) VELKARO_SKIP_UNLESS_CI() << "sqlite3 (Paket sqlite3) fehlt: Skript nicht prüfbar";
    TempFolder folder;
    ASSERT_EQ(RunScript("make-bulk-db.sh", "35 '" + folder.File("bulk.db") + "'"), 0);
    TSettings settings(folder.File("bulk.ini"));
    settings.Provider = "SQLite";
    settings.Database = folder.File("bulk.db");
    TNavData nav(settings);
    const std::string h = "\"Muster GmbH$Sales Cr_Memo Header\"", l = "\"Muster GmbH$Sales Cr_Memo Line\"";
    EXPECT_EQ(nav.QueryFirstRow("SELECT count(*), min([No_]), max([No_]) FROM " + h + " WHERE [No_] LIKE 'C%'"),
              (std::vector<std::string>{"3", "C0000010", "C0000030"}));
    EXPECT_EQ(nav.QueryFirstRow("SELECT count(*) FROM " + l + " WHERE [Document No_] LIKE 'C%'"),
              (std::vector<std::string>{"6"}));
    auto credit = nav.LoadInvoice("Muster GmbH", "C0000020", bkCreditMemo);
    EXPECT_EQ(credit->CorrectedInvoiceNo, "B0000020");
    EXPECT_TRUE(IsNavDate(credit->CorrectedInvoiceDate));
    EXPECT_EQ(credit->Lines.size(), 2u);
    EXPECT_GT(credit->DuePayable, Currency());
}

TEST(DemoDatabase, BadArgumentsOfTheBulkScript) {
    TempFolder folder;
    EXPECT_NE(RunScript("make-bulk-db.sh", "zehn '" + folder.File("x.db") + "'"), 0);
    EXPECT_FALSE(FileExists(folder.File("x.db")));
}
