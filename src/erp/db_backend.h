#pragma once
// The interface every database backend implements (embedded SQLite, ODBC). The query
// object (db_query.h) sits on top and is the only user.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "erp/db_value.h"
#include "erp/nav_sql.h"
#include "platform/error.h"

namespace velkaro {

enum TDbParamType { dpText, dpInteger, dpDateTime };

struct TDbParam {
    TDbParamType Type = dpText;
    std::string Text;
    int64_t Integer = 0;
    TDateTime Date = 0;
};

// The rows of one executed statement.
class TDbCursor {
public:
    virtual ~TDbCursor() = default;
    virtual const std::vector<std::string>& ColumnNames() const = 0;
    // Reads the next row into `row` (one value per column); false after the last row.
    virtual bool Fetch(std::vector<TDbValue>& row) = 0;
};

// A backend keeps the statements it has prepared and reuses them when the same SQL text
// runs again on the connection; a statement whose cursor is still open is not shared.
class TDbBackend {
public:
    virtual ~TDbBackend() = default;
    virtual TSqlDialect Dialect() const = 0;
    // `sql` holds one "?" per parameter, `params` in that order. Exceeding `timeout`
    // (whole statement: execution and fetching) raises an error.
    virtual std::unique_ptr<TDbCursor> Execute(const std::string& sql, const std::vector<TDbParam>& params,
                                               std::chrono::milliseconds timeout) = 0;
    // A read transaction: the statements up to EndRead read one state of the database
    // (SQLite: one shared lock, taken at the first read; ODBC: one transaction at the
    // database's isolation level). Nested calls count; only the outermost pair begins
    // and ends. EndRead never raises: there is nothing to keep of a read.
    virtual void BeginRead() = 0;
    virtual void EndRead() noexcept = 0;
};

// BeginRead for the lifetime of the object, EndRead at its end, also when an error
// leaves the scope.
class TDbReadTransaction {
public:
    explicit TDbReadTransaction(TDbBackend& backend) : FBackend(backend) { FBackend.BeginRead(); }
    ~TDbReadTransaction() { FBackend.EndRead(); }
    TDbReadTransaction(const TDbReadTransaction&) = delete;
    TDbReadTransaction& operator=(const TDbReadTransaction&) = delete;

private:
    TDbBackend& FBackend;
};

// What a backend needs to connect; taken from the settings.
struct TDbConnectParams {
    std::string Provider;
    std::string Server;
    std::string Database;
    std::string User;
    std::string Password;
    std::string BaseDir;  // folder against which a relative SQLite file name is resolved
    // SQL Server through ODBC ([Datenbank] keys of the same meaning).
    std::string Driver;          // "Treiber": entry name or library path; empty: the installed one
    std::string Encryption;      // "Verschluesselung": "aus", "ja", "streng"; empty: the driver's default
    std::string TrustServerCertificate;  // "ServerZertifikatVertrauen": "0", "1"; empty: the driver's default
    std::string ConnectOptions;  // "Verbindungsoptionen": further attributes, appended as written
    std::string Login;           // "Anmeldung": "Windows", "SQL"; empty: Windows when User is empty
};

// An error reported by a database library: the German sentence saying what failed, then
// the library's own (English) text in parentheses, e.g.
// "Datenbankabfrage fehlgeschlagen (database is locked)". The library's text is kept
// apart as well, for a message that explains it.
class EDbLibraryError : public Exception {
public:
    EDbLibraryError(const std::string& whatFailed, const std::string& libraryText);
    std::string LibraryText;  // trimmed; empty when the library said nothing
};
EDbLibraryError DbLibraryError(const std::string& whatFailed, const std::string& libraryText);

// "SQLite" in any letter case selects the embedded backend; anything else ODBC.
bool IsSqliteProvider(const std::string& provider);
// Opens the backend the provider selects. Errors carry the driver's message.
std::shared_ptr<TDbBackend> OpenDbBackend(const TDbConnectParams& params);

} // namespace velkaro
