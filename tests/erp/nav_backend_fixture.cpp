#include "nav_backend_fixture.h"

#include <filesystem>
#include <regex>

#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro::test {

std::string BackendName(const ::testing::TestParamInfo<TBackendKind>& info) {
    return info.param == TBackendKind::Embedded ? "Sqlite" : "Odbc";
}

void NavBackendTest::SetUp() {
    if (GetParam() == TBackendKind::Odbc) {
        FDriver = SqliteOdbcDriver();
        if (FDriver.empty())
            VELKARO_SKIP_UNLESS_CI()
                << "SQLite-ODBC-Treiber nicht installiert (Debian-Paket libsqliteodbc): ODBC-Durchlauf übersprungen";
    }
}

void NavBackendTest::Open(const std::string& dbFile, const std::string& ini) {
    std::string provider, database;
    if (GetParam() == TBackendKind::Embedded) {
        std::filesystem::copy_file(dbFile, FFolder.File("nav.db"), std::filesystem::copy_options::overwrite_existing);
        provider = "SQLite";
        database = "nav.db";
    } else {
        provider = FDriver;
        database = dbFile;
    }
    std::string text = std::regex_replace(ini, std::regex("(^|\n)Provider=[^\n]*"), "$1Provider=" + provider);
    text = std::regex_replace(text, std::regex("(^|\n)Datenbank=[^\n]*"), "$1Datenbank=" + database);
    std::string file = FFolder.File("velkaro.ini");
    WriteTextFile(file, text);
    FNav.reset();
    FSettings = std::make_unique<TSettings>(file);
    FNav = std::make_unique<TNavData>(*FSettings);
}

void NavBackendTest::OpenDemo() { Open(DemoDbPath(), ReadTextFile(SourceDir() + "/demo/velkaro.ini")); }

void NavBackendTest::OpenBcDemo() { Open(BcDemoDbPath(), ReadTextFile(SourceDir() + "/demo/velkaro.ini")); }

} // namespace velkaro::test
