#include "nav_test_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "erp/odbc_backend.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro::test {

namespace {
std::string DemoFile(const std::string& name) { return ReadFileBytes(SourceDir() + "/demo/" + name); }
} // namespace

void ExecSqlite(const std::string& dbPath, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(dbPath.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + dbPath);
    }
    char* error = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + message);
}

std::string NavSchemaSql(const std::string& company, bool nullable) {
    std::string sql = ReplaceAll(DemoFile("nav-schema.sql"), "@C@", ReplaceAll(company, "\"", "\"\""));
    if (nullable) sql = std::regex_replace(ReplaceAll(sql, " NOT NULL", ""), std::regex(" DEFAULT ('[^']*'|[0-9.]+)"), "");
    return sql;
}

std::string NavDatabaseSql() { return DemoFile("nav-database.sql"); }

void BuildDemoDb(const std::string& path) {
    std::string sql = "BEGIN;";
    for (const auto& company : Split(DemoFile("companies.txt"), '\n'))
        if (!Trim(company).empty()) sql += NavSchemaSql(Trim(company));
    sql += NavDatabaseSql() + DemoFile("demo-data.sql") + "COMMIT;";
    ExecSqlite(path, sql);
}

const std::string& DemoDbPath() {
    static TempFolder folder;
    static const std::string path = [] {
        std::string p = folder.File("velkaro-demo.db");
        BuildDemoDb(p);
        return p;
    }();
    return path;
}

const std::string& BcDemoDbPath() {
    static TempFolder folder;
    static const std::string path = [] {
        std::string p = folder.File("velkaro-bc-demo.db");
        std::string output;
        if (RunCommand("bash '" + SourceDir() + "/demo/make-bc-demo-db.sh' '" + p + "'", output) != 0)
            throw std::runtime_error("make-bc-demo-db.sh failed: " + output);
        return p;
    }();
    return path;
}

std::unique_ptr<TSettings> MakeSettings(const TempFolder& folder, const std::string& provider,
                                        const std::string& database, const std::string& extraIni) {
    std::string ini = "[Datenbank]\nProvider=" + provider + "\nDatenbank=" + database +
                      "\nServer=\nBenutzer=\nPasswort=\nMandant=Muster GmbH\n\n" + extraIni;
    std::string file = folder.File("velkaro.ini");
    WriteTextFile(file, ini);
    return std::make_unique<TSettings>(file);
}

std::string SqliteOdbcDriver() {
    for (const auto& name : InstalledOdbcDrivers())
        if (SameText(name, "SQLite3")) return name;
    for (const char* path : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                             "/usr/lib/odbc/libsqlite3odbc.so"})
        if (FileExists(path)) return path;
    return {};
}

} // namespace velkaro::test
