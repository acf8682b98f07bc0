#pragma once
// NAV-shaped SQLite databases for the tests: the demo database built from demo/*.sql,
// and small fixtures built from the same schema with test data.
#include <memory>
#include <string>
#include <vector>

#include "config/settings.h"
#include "support/test_support.h"

namespace velkaro::test {

// Runs SQL on an SQLite file (created when missing); fails the test on an error.
void ExecSqlite(const std::string& dbPath, const std::string& sql);
// The schema of one company from demo/nav-schema.sql; `nullable` drops NOT NULL and the defaults so
// that tests can store NULL in every column.
std::string NavSchemaSql(const std::string& company, bool nullable = false);
// The database-wide NAV tables (demo/nav-database.sql).
std::string NavDatabaseSql();
// Builds the demo database at `path` as demo/make-demo-db.sh does.
void BuildDemoDb(const std::string& path);
// The demo database of this test process, built once into a temporary folder.
const std::string& DemoDbPath();
// The same in Business Central naming (demo/make-bc-demo-db.sh, needs sqlite3), built
// once; raises when the script fails.
const std::string& BcDemoDbPath();

// A settings file in `folder` ("velkaro.ini") with the given [Datenbank] provider and
// database, followed by `extraIni` (more sections), loaded.
std::unique_ptr<TSettings> MakeSettings(const TempFolder& folder, const std::string& provider,
                                        const std::string& database, const std::string& extraIni = "");

// The ODBC driver of SQLite (Debian package libsqliteodbc): its registered name or the
// path of its library; empty when it is not installed.
std::string SqliteOdbcDriver();

} // namespace velkaro::test
