#include "erp/odbc_backend.h"

#include <sql.h>
#include <sqlext.h>

#include <cmath>
#include <map>

#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC with 16-bit SQLWCHAR expected");

std::u16string Wide(const std::string& s) { return Utf8ToUtf16(s); }
SQLWCHAR* W(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }
std::string Narrow(const SQLWCHAR* s, size_t n) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(s), n));
}

// The driver's diagnostic records, unchanged, separated by "; ".
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string out;
    for (SQLSMALLINT rec = 1; rec < 20; ++rec) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[2048] = {};
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, rec, state, &native, message, 2048, &length);
        if (!SQL_SUCCEEDED(rc)) break;
        size_t n = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), 2047);
        if (!out.empty()) out += "; ";
        out += Trim(Narrow(message, n));
    }
    return out;
}

// The one place where the driver's own (English) messages become an error: what failed
// follows from the handle the call was made on.
EDbLibraryError Failure(SQLSMALLINT type, SQLHANDLE handle) {
    const std::string whatFailed = type == SQL_HANDLE_STMT  ? "Datenbankabfrage fehlgeschlagen"
                                   : type == SQL_HANDLE_DBC ? "Verbindung zur Datenbank fehlgeschlagen"
                                                            : "ODBC-Treiberverwaltung meldet einen Fehler";
    const std::string diagnostics = Diagnostics(type, handle);
    return DbLibraryError(diagnostics.empty() ? whatFailed + " (ohne Meldung des Treibers)" : whatFailed, diagnostics);
}

[[noreturn]] void Fail(SQLSMALLINT type, SQLHANDLE handle) { throw Failure(type, handle); }

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle) {
    if (!SQL_SUCCEEDED(rc)) Fail(type, handle);
}

enum TColumnRead { crWideText, crDecimalText, crInteger, crDouble, crTimestamp };

TColumnRead ReadKind(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_DECIMAL:
    case SQL_NUMERIC: return crDecimalText;
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_BIT: return crInteger;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: return crDouble;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATETIME:
    case SQL_TIMESTAMP: return crTimestamp;
    default: return crWideText;
    }
}

class TOdbcBackend;

class TOdbcCursor : public TDbCursor {
public:
    TOdbcCursor(std::shared_ptr<TOdbcBackend> owner, std::string sql, SQLHSTMT stmt)
        : FOwner(std::move(owner)), FSql(std::move(sql)), FStmt(stmt) {}
    ~TOdbcCursor() override;
    const std::vector<std::string>& ColumnNames() const override { return FNames; }
    bool Fetch(std::vector<TDbValue>& row) override;
    void Run(const std::vector<TDbParam>& params);
    SQLHSTMT Handle() const { return FStmt; }

private:
    TDbValue ReadText(SQLUSMALLINT column, bool wide);
    TDbValue Read(SQLUSMALLINT column, TColumnRead kind);

    std::shared_ptr<TOdbcBackend> FOwner;
    std::string FSql;
    SQLHSTMT FStmt;
    std::vector<std::string> FNames;
    std::vector<TColumnRead> FKinds;
    // Parameter buffers: bound by address, so sized once before binding.
    std::vector<std::u16string> FTexts;
    std::vector<SQLBIGINT> FIntegers;
    std::vector<SQL_TIMESTAMP_STRUCT> FStamps;
    std::vector<SQLLEN> FIndicators;
    bool FDone = false;
};

class TOdbcBackend : public TDbBackend, public std::enable_shared_from_this<TOdbcBackend> {
public:
    // More different statements than a program session runs; beyond it a statement is
    // freed after use instead of kept.
    static constexpr size_t kKeptStatements = 64;

    TOdbcBackend() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &FEnv)))
            throw Exception("ODBC-Umgebung konnte nicht angelegt werden.");
        SQLSetEnvAttr(FEnv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        Check(SQLAllocHandle(SQL_HANDLE_DBC, FEnv, &FDbc), SQL_HANDLE_ENV, FEnv);
    }
    ~TOdbcBackend() override {
        for (auto& [sql, stmt] : FKept) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (FConnected) SQLDisconnect(FDbc);
        if (FDbc) SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
        if (FEnv) SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
    }

    void Connect(const std::string& connectString, int loginTimeout) {
        SQLSetConnectAttr(FDbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeout)), 0);
        SQLSetConnectAttr(FDbc, SQL_ATTR_CONNECTION_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeout)), 0);
        SQLSetConnectAttr(FDbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
        std::u16string cs = Wide(connectString);
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        Check(SQLDriverConnectW(FDbc, nullptr, W(cs), SQL_NTS, out, 1024, &outLength, SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, FDbc);
        FConnected = true;
        SQLWCHAR dbms[256] = {};
        SQLSMALLINT length = 0;
        if (SQL_SUCCEEDED(SQLGetInfoW(FDbc, SQL_DBMS_NAME, dbms, sizeof dbms, &length))) {
            std::string name = Narrow(dbms, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)) / 2, 255));
            if (UpperAscii(name).find("SQLITE") != std::string::npos) FDialect = sdSqlite;
        }
    }

    TSqlDialect Dialect() const override { return FDialect; }

    std::unique_ptr<TDbCursor> Execute(const std::string& sql, const std::vector<TDbParam>& params,
                                       std::chrono::milliseconds timeout) override {
        auto cursor = std::make_unique<TOdbcCursor>(shared_from_this(), sql, Take(sql));
        // ODBC counts whole seconds; a shorter limit still stops the statement.
        auto seconds = static_cast<SQLULEN>(std::max<long long>(1, (timeout.count() + 999) / 1000));
        SQLSetStmtAttr(cursor->Handle(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
        cursor->Run(params);
        return cursor;
    }

    // Automatic commit off for the transaction: the driver begins it with the first
    // statement and the commit ends it.
    void BeginRead() override {
        if (FReadDepth++ > 0) return;
        const SQLRETURN rc = SQLSetConnectAttr(FDbc, SQL_ATTR_AUTOCOMMIT,
                                               reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_OFF)), 0);
        if (!SQL_SUCCEEDED(rc)) {
            FReadDepth = 0;
            Fail(SQL_HANDLE_DBC, FDbc);
        }
    }

    void EndRead() noexcept override {
        if (FReadDepth == 0 || --FReadDepth > 0) return;
        // Only reads happened: ending cannot lose anything, so a failure is of no use to
        // anyone; the transaction is rolled back then.
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, FDbc, SQL_COMMIT))) SQLEndTran(SQL_HANDLE_DBC, FDbc, SQL_ROLLBACK);
        SQLSetConnectAttr(FDbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_AUTOCOMMIT_ON)),
                          0);
    }

    // A kept statement prepared with the SQL, or a new one.
    SQLHSTMT Take(const std::string& sql) {
        if (auto kept = FKept.find(sql); kept != FKept.end()) {
            SQLHSTMT stmt = kept->second;
            FKept.erase(kept);
            return stmt;
        }
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        Check(SQLAllocHandle(SQL_HANDLE_STMT, FDbc, &stmt), SQL_HANDLE_DBC, FDbc);
        std::u16string text = Wide(sql);
        const SQLRETURN rc = SQLPrepareW(stmt, W(text), SQL_NTS);
        if (!SQL_SUCCEEDED(rc)) {
            const Exception error = Failure(SQL_HANDLE_STMT, stmt);
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw error;
        }
        return stmt;
    }

    // Back from a closed cursor: its result closed and its parameters unbound, kept
    // for the next run of the same SQL (the preparation stays valid).
    void Return(std::string sql, SQLHSTMT stmt) noexcept {
        const bool reusable = SQL_SUCCEEDED(SQLFreeStmt(stmt, SQL_CLOSE)) && SQL_SUCCEEDED(SQLFreeStmt(stmt, SQL_RESET_PARAMS));
        if (reusable && FKept.size() < kKeptStatements && FKept.try_emplace(std::move(sql), stmt).second) return;
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }

private:
    SQLHENV FEnv = SQL_NULL_HENV;
    SQLHDBC FDbc = SQL_NULL_HDBC;
    bool FConnected = false;
    TSqlDialect FDialect = sdSqlServer;
    int FReadDepth = 0;
    std::map<std::string, SQLHSTMT> FKept;  // by SQL text, idle
};

TOdbcCursor::~TOdbcCursor() { FOwner->Return(std::move(FSql), FStmt); }

void TOdbcCursor::Run(const std::vector<TDbParam>& params) {
    size_t n = params.size();
    FTexts.resize(n);
    FIntegers.resize(n);
    FStamps.resize(n);
    FIndicators.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const TDbParam& p = params[i];
        auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN rc = SQL_SUCCESS;
        switch (p.Type) {
        case dpText: {
            FTexts[i] = Wide(p.Text);
            auto chars = static_cast<SQLULEN>(std::max<size_t>(FTexts[i].size(), 1));
            FIndicators[i] = static_cast<SQLLEN>(FTexts[i].size() * sizeof(SQLWCHAR));
            rc = SQLBindParameter(FStmt, number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                  chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR, chars, 0, W(FTexts[i]),
                                  FIndicators[i], &FIndicators[i]);
            break;
        }
        case dpInteger:
            FIntegers[i] = p.Integer;
            FIndicators[i] = 0;
            rc = SQLBindParameter(FStmt, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &FIntegers[i], 0,
                                  &FIndicators[i]);
            break;
        case dpDateTime: {
            DateTimeParts d = DecodeDateTime(p.Date);
            SQL_TIMESTAMP_STRUCT& ts = FStamps[i];
            ts.year = static_cast<SQLSMALLINT>(d.year);
            ts.month = static_cast<SQLUSMALLINT>(d.month);
            ts.day = static_cast<SQLUSMALLINT>(d.day);
            ts.hour = static_cast<SQLUSMALLINT>(d.hour);
            ts.minute = static_cast<SQLUSMALLINT>(d.minute);
            ts.second = static_cast<SQLUSMALLINT>(d.second);
            ts.fraction = static_cast<SQLUINTEGER>(d.millisecond) * 1000000u;
            FIndicators[i] = sizeof ts;
            rc = SQLBindParameter(FStmt, number, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &ts,
                                  sizeof ts, &FIndicators[i]);
            break;
        }
        }
        Check(rc, SQL_HANDLE_STMT, FStmt);
    }
    SQLRETURN rc = SQLExecute(FStmt);
    if (rc == SQL_NO_DATA) { FDone = true; return; }
    Check(rc, SQL_HANDLE_STMT, FStmt);
    SQLSMALLINT columns = 0;
    Check(SQLNumResultCols(FStmt, &columns), SQL_HANDLE_STMT, FStmt);
    if (columns == 0) FDone = true;
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        Check(SQLDescribeColW(FStmt, c, name, 256, &nameLength, &type, &size, &digits, &nullable), SQL_HANDLE_STMT,
              FStmt);
        FNames.push_back(Narrow(name, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(nameLength, 0)), 255)));
        FKinds.push_back(ReadKind(type));
    }
}

bool TOdbcCursor::Fetch(std::vector<TDbValue>& row) {
    if (FDone) return false;
    SQLRETURN rc = SQLFetch(FStmt);
    if (rc == SQL_NO_DATA) { FDone = true; return false; }
    Check(rc, SQL_HANDLE_STMT, FStmt);
    row.clear();
    for (size_t i = 0; i < FKinds.size(); ++i) row.push_back(Read(static_cast<SQLUSMALLINT>(i + 1), FKinds[i]));
    return true;
}

// Long values arrive in pieces; a piece that fills the buffer means more follows.
TDbValue TOdbcCursor::ReadText(SQLUSMALLINT column, bool wide) {
    std::u16string wideText;
    std::string narrowText;
    SQLWCHAR wideBuffer[1024];
    char narrowBuffer[256];
    SQLPOINTER buffer = wide ? static_cast<SQLPOINTER>(wideBuffer) : static_cast<SQLPOINTER>(narrowBuffer);
    const SQLLEN bufferBytes = wide ? static_cast<SQLLEN>(sizeof wideBuffer) : static_cast<SQLLEN>(sizeof narrowBuffer);
    const SQLLEN unit = wide ? static_cast<SQLLEN>(sizeof(SQLWCHAR)) : 1;
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(FStmt, column, wide ? SQL_C_WCHAR : SQL_C_CHAR, buffer, bufferBytes, &indicator);
        if (rc == SQL_NO_DATA) break;
        Check(rc, SQL_HANDLE_STMT, FStmt);
        if (indicator == SQL_NULL_DATA) return {};
        bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= bufferBytes);
        size_t count = static_cast<size_t>((more ? bufferBytes - unit : indicator) / unit);
        if (wide) wideText.append(reinterpret_cast<const char16_t*>(wideBuffer), count);
        else narrowText.append(narrowBuffer, count);
        if (!more) break;
    }
    return TDbValue::OfText(wide ? Utf16ToUtf8(wideText) : narrowText);
}

TDbValue TOdbcCursor::Read(SQLUSMALLINT column, TColumnRead kind) {
    SQLLEN indicator = 0;
    switch (kind) {
    case crWideText: return ReadText(column, true);
    case crDecimalText: return ReadText(column, false);
    case crInteger: {
        SQLBIGINT value = 0;
        Check(SQLGetData(FStmt, column, SQL_C_SBIGINT, &value, 0, &indicator), SQL_HANDLE_STMT, FStmt);
        return indicator == SQL_NULL_DATA ? TDbValue() : TDbValue::OfInteger(value);
    }
    case crDouble: {
        double value = 0;
        Check(SQLGetData(FStmt, column, SQL_C_DOUBLE, &value, 0, &indicator), SQL_HANDLE_STMT, FStmt);
        return indicator == SQL_NULL_DATA ? TDbValue() : TDbValue::OfFloat(value);
    }
    case crTimestamp: {
        SQL_TIMESTAMP_STRUCT ts = {};
        Check(SQLGetData(FStmt, column, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator), SQL_HANDLE_STMT, FStmt);
        if (indicator == SQL_NULL_DATA) return {};
        if (!IsValidDate(ts.year, ts.month, ts.day)) return TDbValue::OfDateTime(0);
        DateTimeParts p;
        p.year = ts.year;
        p.month = ts.month;
        p.day = ts.day;
        p.hour = ts.hour;
        p.minute = ts.minute;
        p.second = ts.second;
        p.millisecond = static_cast<int>(ts.fraction / 1000000u);
        return TDbValue::OfDateTime(EncodeDateTime(p));
    }
    }
    return {};
}

} // namespace

std::shared_ptr<TDbBackend> OpenOdbcBackend(const std::string& connectString, int loginTimeoutSeconds) {
    auto backend = std::make_shared<TOdbcBackend>();
    backend->Connect(connectString, loginTimeoutSeconds);
    return backend;
}

std::vector<std::string> InstalledOdbcDrivers() {
    std::vector<std::string> names;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR name[256] = {}, attributes[1024] = {};
        SQLSMALLINT nameLength = 0, attributesLength = 0;
        SQLRETURN rc = SQLDriversW(env, direction, name, 256, &nameLength, attributes, 1024, &attributesLength);
        if (!SQL_SUCCEEDED(rc)) break;
        names.push_back(Narrow(name, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(nameLength, 0)), 255)));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

} // namespace velkaro
