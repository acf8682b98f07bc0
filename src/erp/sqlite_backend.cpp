#include "erp/sqlite_backend.h"

#include <sqlite3.h>

#include <map>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kQueryFailed = "Datenbankabfrage fehlgeschlagen";

// "5 Sekunden", "200 ms".
std::string DurationText(std::chrono::milliseconds duration) {
    const long long ms = duration.count();
    if (ms % 1000 != 0) return std::to_string(ms) + " ms";
    return ms == 1000 ? std::string("1 Sekunde") : std::to_string(ms / 1000) + " Sekunden";
}

// The one place where SQLite's own (English) message becomes an error. A database that
// another program keeps locked longer than the busy time-out gets its own sentence.
Exception SqliteError(sqlite3* db, int rc, const std::string& whatFailed, std::chrono::milliseconds busyTimeout) {
    const std::string library = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const int primary = (db ? sqlite3_errcode(db) : rc) & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return DbLibraryError(whatFailed + ": Die Datenbank ist von einem anderen Programm gesperrt, auch nach " +
                                  DurationText(busyTimeout) + " Wartezeit",
                              library);
    return DbLibraryError(whatFailed, library);
}

// A prepared statement with what its cursor needs to know of the columns; made once per
// SQL text and connection, reused while the connection lives.
struct TSqliteStatement {
    sqlite3_stmt* Stmt = nullptr;
    std::vector<std::string> Names;
    std::vector<bool> DateColumns;

    explicit TSqliteStatement(sqlite3_stmt* stmt) : Stmt(stmt) {
        const int n = sqlite3_column_count(Stmt);
        for (int i = 0; i < n; ++i) {
            const char* name = sqlite3_column_name(Stmt, i);
            Names.emplace_back(name ? name : "");
            // Dates are stored as text; the declared type tells which columns hold them.
            const char* decl = sqlite3_column_decltype(Stmt, i);
            std::string type = decl ? UpperAscii(decl) : std::string();
            DateColumns.push_back(type.find("DATE") != std::string::npos || type.find("TIME") != std::string::npos);
        }
    }
    ~TSqliteStatement() { sqlite3_finalize(Stmt); }
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;
};

class TSqliteBackend;

class TSqliteCursor : public TDbCursor {
public:
    TSqliteCursor(std::shared_ptr<TSqliteBackend> owner, std::string sql, std::unique_ptr<TSqliteStatement> statement,
                  Clock::time_point deadline, std::chrono::milliseconds timeout);
    ~TSqliteCursor() override;
    const std::vector<std::string>& ColumnNames() const override { return FStatement->Names; }
    bool Fetch(std::vector<TDbValue>& row) override;
    // Runs the first step, so that execution errors show when the statement is opened.
    void Start();
    sqlite3_stmt* Statement() const { return FStmt; }

private:
    TDbValue Column(int i) const;

    std::shared_ptr<TSqliteBackend> FOwner;
    std::string FSql;
    std::unique_ptr<TSqliteStatement> FStatement;
    sqlite3_stmt* FStmt;
    Clock::time_point FDeadline;
    std::chrono::milliseconds FTimeout;
    bool FHasRow = false;
    bool FDone = false;
};

class TSqliteBackend : public TDbBackend, public std::enable_shared_from_this<TSqliteBackend> {
public:
    // More different statements than a program session runs; beyond it a statement is
    // finalized after use instead of kept.
    static constexpr size_t kKeptStatements = 64;

    TSqliteBackend(sqlite3* db, std::chrono::milliseconds busyTimeout) : FDb(db), FBusyTimeout(busyTimeout) {
        // Checked every thousand virtual-machine steps: cheap, and a runaway query
        // stops within microseconds of its deadline.
        sqlite3_progress_handler(FDb, 1000, &TSqliteBackend::Progress, this);
    }
    ~TSqliteBackend() override {
        FKept.clear();  // statements first: the connection closes only without them
        sqlite3_close_v2(FDb);
    }

    TSqlDialect Dialect() const override { return sdSqlite; }

    std::unique_ptr<TDbCursor> Execute(const std::string& sql, const std::vector<TDbParam>& params,
                                       std::chrono::milliseconds timeout) override {
        auto cursor = std::make_unique<TSqliteCursor>(shared_from_this(), sql, Take(sql), Clock::now() + timeout,
                                                      timeout);
        sqlite3_stmt* stmt = cursor->Statement();
        for (size_t i = 0; i < params.size(); ++i) {
            const TDbParam& p = params[i];
            int index = static_cast<int>(i) + 1;
            int rc = SQLITE_OK;
            std::string text;
            switch (p.Type) {
            case dpInteger: rc = sqlite3_bind_int64(stmt, index, p.Integer); break;
            case dpDateTime: text = FormatSortableDateTime(p.Date); break;
            case dpText: text = p.Text; break;
            }
            if (p.Type != dpInteger)
                rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            if (rc != SQLITE_OK) throw SqliteError(FDb, rc, kQueryFailed, FBusyTimeout);
        }
        cursor->Start();
        return cursor;
    }

    // A deferred transaction takes the shared lock at its first read and keeps it to
    // the end: one lock cycle and one look for a hot journal or a WAL file instead of
    // one per statement.
    void BeginRead() override {
        if (FReadDepth++ > 0) return;
        const int rc = sqlite3_exec(FDb, "BEGIN DEFERRED", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            FReadDepth = 0;
            throw SqliteError(FDb, rc, kQueryFailed, FBusyTimeout);
        }
    }

    void EndRead() noexcept override {
        if (FReadDepth == 0 || --FReadDepth > 0) return;
        // Only reads happened: ending cannot lose anything, so a failure is of no use
        // to anyone; the transaction is rolled back then, which always succeeds.
        if (sqlite3_exec(FDb, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK && !sqlite3_get_autocommit(FDb))
            sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    }

    // A kept statement of the SQL, or a new one.
    std::unique_ptr<TSqliteStatement> Take(const std::string& sql) {
        if (auto kept = FKept.find(sql); kept != FKept.end()) {
            std::unique_ptr<TSqliteStatement> statement = std::move(kept->second);
            FKept.erase(kept);
            return statement;
        }
        sqlite3_stmt* stmt = nullptr;
        const int prepared = sqlite3_prepare_v3(FDb, sql.c_str(), static_cast<int>(sql.size()),
                                                SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (prepared != SQLITE_OK) throw SqliteError(FDb, prepared, kQueryFailed, FBusyTimeout);
        return std::make_unique<TSqliteStatement>(stmt);
    }

    // Back from a closed cursor: reset, its parameters cleared, and kept for the next
    // run of the same SQL.
    void Return(std::string sql, std::unique_ptr<TSqliteStatement> statement) noexcept {
        sqlite3_reset(statement->Stmt);
        sqlite3_clear_bindings(statement->Stmt);
        if (FKept.size() < kKeptStatements) FKept.try_emplace(std::move(sql), std::move(statement));
    }

    // Raises the error of the last failed call; an interruption by the deadline is a time-out.
    [[noreturn]] void Fail(int rc, std::chrono::milliseconds timeout) const {
        if (sqlite3_errcode(FDb) == SQLITE_INTERRUPT && FTimedOut)
            throw SqliteError(FDb, rc,
                              "Zeitüberschreitung: Die Abfrage wurde nach " + DurationText(timeout) + " abgebrochen",
                              FBusyTimeout);
        throw SqliteError(FDb, rc, kQueryFailed, FBusyTimeout);
    }

    void Arm(Clock::time_point deadline) {
        FDeadline = deadline;
        FTimedOut = false;
    }

private:
    static int Progress(void* self) {
        auto* b = static_cast<TSqliteBackend*>(self);
        if (Clock::now() < b->FDeadline) return 0;
        b->FTimedOut = true;
        return 1;
    }

    sqlite3* FDb;
    std::chrono::milliseconds FBusyTimeout;
    Clock::time_point FDeadline = Clock::time_point::max();
    bool FTimedOut = false;
    int FReadDepth = 0;
    std::map<std::string, std::unique_ptr<TSqliteStatement>> FKept;  // by SQL text, idle
};

TSqliteCursor::TSqliteCursor(std::shared_ptr<TSqliteBackend> owner, std::string sql,
                             std::unique_ptr<TSqliteStatement> statement, Clock::time_point deadline,
                             std::chrono::milliseconds timeout)
    : FOwner(std::move(owner)), FSql(std::move(sql)), FStatement(std::move(statement)), FStmt(FStatement->Stmt),
      FDeadline(deadline), FTimeout(timeout) {}

TSqliteCursor::~TSqliteCursor() { FOwner->Return(std::move(FSql), std::move(FStatement)); }

void TSqliteCursor::Start() {
    FOwner->Arm(FDeadline);
    int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) FHasRow = true;
    else if (rc == SQLITE_DONE) FDone = true;
    else FOwner->Fail(rc, FTimeout);
}

bool TSqliteCursor::Fetch(std::vector<TDbValue>& row) {
    if (!FHasRow) {
        if (FDone) return false;
        FOwner->Arm(FDeadline);
        int rc = sqlite3_step(FStmt);
        if (rc == SQLITE_DONE) { FDone = true; return false; }
        if (rc != SQLITE_ROW) FOwner->Fail(rc, FTimeout);
    }
    FHasRow = false;
    row.clear();
    for (int i = 0; i < static_cast<int>(FStatement->Names.size()); ++i) row.push_back(Column(i));
    return true;
}

TDbValue TSqliteCursor::Column(int i) const {
    switch (sqlite3_column_type(FStmt, i)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return TDbValue::OfInteger(sqlite3_column_int64(FStmt, i));
    case SQLITE_FLOAT: return TDbValue::OfFloat(sqlite3_column_double(FStmt, i));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, i));
        std::string value(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(FStmt, i)));
        TDateTime date = 0;
        if (FStatement->DateColumns[static_cast<size_t>(i)] && TryParseDbDateTime(value, date)) return TDbValue::OfDateTime(date);
        return TDbValue::OfText(std::move(value));
    }
    }
}

} // namespace

std::shared_ptr<TDbBackend> OpenSqliteBackend(const std::string& fileName, std::chrono::milliseconds busyTimeout) {
    if (Trim(fileName).empty()) throw Exception("Keine SQLite-Datenbankdatei angegeben (Einstellung „Datenbank“).");
    if (!FileExists(fileName)) throw Exception("SQLite-Datenbankdatei „" + fileName + "“ nicht gefunden.");
    const std::string cannotOpen = "SQLite-Datenbank „" + fileName + "“ kann nicht geöffnet werden";
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(fileName.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const Exception error = SqliteError(db, rc, cannotOpen, busyTimeout);
        sqlite3_close_v2(db);
        throw error;
    }
    // Before the first read: a database that another program is writing to just now is
    // waited for, not failed at once.
    sqlite3_busy_timeout(db, static_cast<int>(busyTimeout.count()));
    // SQLite reads the header lazily; a file of another kind shows at the first read.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const Exception error = SqliteError(db, rc, cannotOpen, busyTimeout);
        sqlite3_close_v2(db);
        throw error;
    }
    return std::make_shared<TSqliteBackend>(db, busyTimeout);
}

} // namespace velkaro
