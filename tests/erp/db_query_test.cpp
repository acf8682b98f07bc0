// The query layer on the embedded backend: named parameters, typed readings, NULLs,
// money exactness, errors and the statement time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "erp/db_query.h"
#include "erp/sql_params.h"
#include "erp/sqlite_backend.h"
#include "nav_test_db.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/sqlite_writer_lock.h"

using namespace velkaro;
using velkaro::test::ExecSqlite;
using velkaro::test::TempFolder;

TEST(SqlParams, NamedParametersBecomePositional) {
    struct Case { const char* sql; const char* positional; std::vector<std::string> names; };
    const Case cases[] = {
        {"SELECT * FROM t WHERE a = :no", "SELECT * FROM t WHERE a = ?", {"no"}},
        {"x BETWEEN :dvon AND :dbis", "x BETWEEN ? AND ?", {"dvon", "dbis"}},
        {"a LIKE :s1 OR b LIKE :s1", "a LIKE ? OR b LIKE ?", {"s1", "s1"}},
        // quoted text, quoted and bracketed names and comments hold no parameters
        {"SELECT '12:30', \"a:b\", [c:d] FROM t -- :x\nWHERE e = :p /* :y */",
         "SELECT '12:30', \"a:b\", [c:d] FROM t -- :x\nWHERE e = ? /* :y */", {"p"}},
        {"SELECT 'it''s :no' , :p", "SELECT 'it''s :no' , ?", {"p"}},
        {"SELECT [a]]:b], :p", "SELECT [a]]:b], ?", {"p"}},
        // casts and a colon inside a word are no parameters
        {"SELECT x::int, a:b, :_u1", "SELECT x::int, a:b, ?", {"_u1"}},
        {"SELECT ':unterminated", "SELECT ':unterminated", {}},
    };
    for (const auto& c : cases) {
        TPositionalSql p = ToPositionalSql(c.sql);
        EXPECT_EQ(p.Sql, c.positional) << c.sql;
        EXPECT_EQ(p.Names, c.names) << c.sql;
    }
}

class DbQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFile = FFolder.File("values.db");
        ExecSqlite(FFile,
                   "CREATE TABLE v (id INTEGER PRIMARY KEY, txt TEXT, num NUMERIC, dt DATETIME, n INTEGER);"
                   "INSERT INTO v VALUES (1, '  Muster  ', 0.30000000000000004, '2024-03-05 00:00:00', 42);"
                   "INSERT INTO v VALUES (2, NULL, NULL, NULL, NULL);"
                   "INSERT INTO v VALUES (3, 'Ä', 1.00499999999999989, '2024-03-05T14:07:09.5', -7);"
                   "INSERT INTO v VALUES (4, 'x', 2.675, '1753-01-01', 2147483647);");
        FBackend = OpenSqliteBackend(FFile);
    }
    std::unique_ptr<TDbQuery> Query(const std::string& sql) { return std::make_unique<TDbQuery>(FBackend, sql); }

    TempFolder FFolder;
    std::string FFile;
    std::shared_ptr<TDbBackend> FBackend;
};

TEST_F(DbQueryTest, ReadsTypedValuesByNameAndIndex) {
    auto q = Query("SELECT txt, num, dt, n FROM v WHERE id = :id");
    q->SetInteger("id", 1);
    q->Open();
    ASSERT_FALSE(q->Eof());
    EXPECT_EQ(q->Text("txt"), "  Muster  ");
    EXPECT_EQ(q->TrimmedText(0), "Muster");
    EXPECT_EQ(q->Text("TXT"), "  Muster  ") << "column names ignore letter case";
    EXPECT_EQ(q->Money("num"), Currency::Parse("0.3"));
    EXPECT_DOUBLE_EQ(q->Float(1), 0.30000000000000004);
    EXPECT_DOUBLE_EQ(q->Date("dt"), EncodeDate(2024, 3, 5));
    EXPECT_EQ(q->Integer("n"), 42);
    EXPECT_EQ(q->Text("dt"), "05.03.2024") << "dates read as text in the German short form";
    q->Next();
    EXPECT_TRUE(q->Eof());
}

TEST_F(DbQueryTest, NullReadsAsEmptyZeroAndDateZero) {
    auto q = Query("SELECT txt, num, dt, n FROM v WHERE id = 2");
    q->Open();
    ASSERT_FALSE(q->Eof());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(q->IsNull(i));
    EXPECT_EQ(q->Text("txt"), "");
    EXPECT_EQ(q->Money("num"), Currency());
    EXPECT_EQ(q->Float("num"), 0.0);
    EXPECT_EQ(q->Date("dt"), 0.0);
    EXPECT_EQ(q->Integer("n"), 0);
    EXPECT_EQ(q->Text("n"), "");
}

TEST_F(DbQueryTest, MoneyFromRealIsRoundedNeverTruncated) {
    // 1.00499999999999989 is the double nearest to 1.005; 2.675 likewise lies below.
    auto q = Query("SELECT num FROM v WHERE id IN (3, 4) ORDER BY id");
    q->Open();
    EXPECT_EQ(q->Money(0).ToString(), "1.0050");
    q->Next();
    EXPECT_EQ(q->Money(0).ToString(), "2.6750");
}

TEST_F(DbQueryTest, MoneyFromTextAndIntegerIsExact) {
    auto q = Query("SELECT '12345678901.2345', '-0.00005', 17, '1.5e-3', '  ', 'abc'");
    q->Open();
    EXPECT_EQ(q->Money(0).Raw(), 123456789012345);
    EXPECT_EQ(q->Money(1).ToString(), "-0.0001") << "half away from zero beyond four decimals";
    EXPECT_EQ(q->Money(2), Currency::FromUnits(17));
    EXPECT_EQ(q->Money(3).ToString(), "0.0015");
    EXPECT_EQ(q->Money(4), Currency());
    EXPECT_THROW(q->Money(5), Exception);
}

TEST_F(DbQueryTest, DateForms) {
    auto q = Query("SELECT dt FROM v WHERE id IN (3, 4) ORDER BY id");
    q->Open();
    DateTimeParts p = DecodeDateTime(q->Date(0));
    EXPECT_EQ(p.hour, 14);
    EXPECT_EQ(p.second, 9);
    EXPECT_EQ(p.millisecond, 500);
    EXPECT_EQ(q->Text(0), "05.03.2024 14:07:09");
    q->Next();
    EXPECT_DOUBLE_EQ(q->Date(0), EncodeDate(1753, 1, 1));

    TDateTime d = 0;
    EXPECT_TRUE(TryParseDbDateTime("2024-02-29 23:59:59", d));
    EXPECT_TRUE(TryParseDbDateTime("2024-02-29T08:15Z", d));
    EXPECT_FALSE(TryParseDbDateTime("2023-02-29", d)) << "no such day";
    EXPECT_FALSE(TryParseDbDateTime("05.03.2024", d));
    EXPECT_FALSE(TryParseDbDateTime("2024-03-05 25:00:00", d));
    EXPECT_EQ(FormatSortableDateTime(EncodeDate(2024, 3, 31)), "2024-03-31 00:00:00");
    const struct {
        TDateTime value;
        const char* text;
    } shortForms[] = {
        {EncodeDate(2024, 3, 5), "05.03.2024"},
        {EncodeDateTime({2024, 3, 5, 8, 15, 9, 0}), "05.03.2024 08:15:09"},
        {EncodeDateTime({2024, 3, 5, 0, 0, 0, 500}), "05.03.2024 00:00:00"},  // not midnight exactly
    };
    for (const auto& c : shortForms) EXPECT_EQ(FormatShortDateTime(c.value), c.text);
}

TEST_F(DbQueryTest, IntegerOutOfRangeOrNotANumberIsAnError) {
    auto q = Query("SELECT 2147483648, 'zwölf', 2147483647");
    q->Open();
    EXPECT_THROW(q->Integer(0), Exception);
    EXPECT_THROW(q->Integer(1), Exception);
    EXPECT_EQ(q->Integer(2), 2147483647);
}

TEST_F(DbQueryTest, ParametersBindTextIntegerAndDate) {
    auto q = Query("SELECT :t || '|' || typeof(:t), :i + 1, :d");
    q->SetText("t", "O'Brien; DROP TABLE v");
    q->SetInteger("i", 41);
    q->SetDateTime("d", EncodeDate(2024, 3, 31) + 0.5);
    q->Open();
    EXPECT_EQ(q->Text(0), "O'Brien; DROP TABLE v|text");
    EXPECT_EQ(q->Integer(1), 42);
    EXPECT_EQ(q->Text(2), "2024-03-31 12:00:00");
}

TEST_F(DbQueryTest, ParameterMistakesAreReported) {
    auto q = Query("SELECT :a, :b");
    EXPECT_THROW(q->SetText("c", "x"), Exception);
    q->SetText("a", "x");
    try {
        q->Open();
        FAIL() << "missing parameter not reported";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find(":b"), std::string::npos) << e.what();
    }
}

TEST_F(DbQueryTest, MissingColumnAndReadingPastTheEnd) {
    auto q = Query("SELECT txt FROM v WHERE id = 1");
    q->Open();
    EXPECT_THROW(q->Text("nope"), Exception);
    EXPECT_THROW(q->Text(1), Exception);
    q->Next();
    EXPECT_THROW(q->Text(0), Exception);
}

TEST_F(DbQueryTest, ErrorsCarryTheDriverMessage) {
    auto q = Query("SELECT * FROM [Muster GmbH$Nothing]");
    try {
        q->Open();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Datenbankabfrage fehlgeschlagen (no such table: Muster GmbH$Nothing)");
    }
}

TEST_F(DbQueryTest, DatabaseIsOpenedReadOnly) {
    auto q = Query("DELETE FROM v");
    try {
        q->Open();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Datenbankabfrage fehlgeschlagen (attempt to write a readonly database)");
    }
}

TEST_F(DbQueryTest, LongStatementStopsAtTheTimeOut) {
    auto q = Query("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c) SELECT max(i) FROM c");
    q->SetCommandTimeout(std::chrono::milliseconds(200));
    auto start = std::chrono::steady_clock::now();
    try {
        q->Open();
        FAIL() << "endless statement returned";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("Zeitüberschreitung"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("200 ms"), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    // The connection stays usable, with the full time-out for the next statement.
    auto next = Query("SELECT count(*) FROM v");
    next->Open();
    EXPECT_EQ(next->Integer(0), 4);
}

TEST_F(DbQueryTest, TimeOutCoversFetchingRows) {
    auto q = Query("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c) SELECT i FROM c");
    q->SetCommandTimeout(std::chrono::milliseconds(100));
    q->Open();
    EXPECT_THROW(
        for (;;) q->Next(), Exception);
}

TEST(SqliteBackend, MissingFileAndForeignFileAreClearErrors) {
    TempFolder folder;
    try {
        OpenSqliteBackend(folder.File("fehlt.db"));
        FAIL();
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("nicht gefunden"), std::string::npos) << e.what();
    }
    std::string text = folder.File("kein.db");
    WriteFileBytes(text, std::string(4096, 'x'));
    try {
        OpenSqliteBackend(text);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("file is not a database"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("kein.db"), std::string::npos) << e.what();
    }
}

TEST(SqliteBackend, QueryKeepsItsConnectionAfterTheOwnerLetsGo) {
    TempFolder folder;
    ExecSqlite(folder.File("a.db"), "CREATE TABLE t (x); INSERT INTO t VALUES (1), (2);");
    auto backend = OpenSqliteBackend(folder.File("a.db"));
    TDbQuery q(backend, "SELECT x FROM t ORDER BY x");
    backend.reset();  // as after Disconnect
    q.Open();
    q.Next();
    EXPECT_EQ(q.Integer(0), 2);
}

// A database that another program writes to while this one reads.
class SqliteLocked : public ::testing::Test {
protected:
    void SetUp() override { ExecSqlite(File, "CREATE TABLE t (x); INSERT INTO t VALUES (1), (2);"); }
    int Count(const std::shared_ptr<TDbBackend>& backend) {
        TDbQuery q(backend, "SELECT count(*) FROM t");
        q.Open();
        return q.Integer(0);
    }
    TempFolder Folder;
    std::string File = Folder.File("a.db");
};

TEST_F(SqliteLocked, TheDatabaseIsWaitedForFromTheFirstRead) {
    velkaro::test::TSqliteWriterLock lock(File);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        lock.Release();
    });
    std::shared_ptr<TDbBackend> backend;
    EXPECT_EQ(velkaro::test::ErrorOf([&] { backend = OpenSqliteBackend(File, std::chrono::seconds(10)); }), "");
    release.join();
    ASSERT_TRUE(backend);
    EXPECT_EQ(Count(backend), 2);
}

TEST_F(SqliteLocked, ALockThatOutlastsTheBusyTimeOutIsAGermanError) {
    const std::string locked = "Die Datenbank ist von einem anderen Programm gesperrt, auch nach 300 ms Wartezeit "
                               "(database is locked)";
    {
        velkaro::test::TSqliteWriterLock lock(File);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(velkaro::test::ErrorOf([&] { OpenSqliteBackend(File, std::chrono::milliseconds(300)); }),
                  "SQLite-Datenbank „" + File + "“ kann nicht geöffnet werden: " + locked);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    }
    // Locked while the connection is open: the next statement waits, then fails.
    auto backend = OpenSqliteBackend(File, std::chrono::milliseconds(300));
    velkaro::test::TSqliteWriterLock lock(File);
    EXPECT_EQ(velkaro::test::ErrorOf([&] { Count(backend); }), "Datenbankabfrage fehlgeschlagen: " + locked);
    lock.Release();
    EXPECT_EQ(Count(backend), 2);
}

// Within a read transaction the database stays as the first read saw it: a writer cannot
// commit until the outermost transaction ends.
TEST_F(SqliteLocked, AReadTransactionHoldsOneStateUntilItsEnd) {
    auto backend = OpenSqliteBackend(File, std::chrono::milliseconds(300));
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(File.c_str(), &writer), SQLITE_OK);
    int added = 2;
    const auto write = [&] {
        const std::string sql = "INSERT INTO t VALUES (" + std::to_string(added + 1) + ")";
        const int rc = sqlite3_exec(writer, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) ++added;
        return rc;
    };
    {
        TDbReadTransaction outer(*backend);
        EXPECT_EQ(Count(backend), 2);
        EXPECT_EQ(write(), SQLITE_BUSY);
        {
            TDbReadTransaction inner(*backend);
            EXPECT_EQ(Count(backend), 2);
        }
        EXPECT_EQ(write(), SQLITE_BUSY) << "the inner end leaves the transaction open";
        EXPECT_EQ(Count(backend), 2);
    }
    EXPECT_EQ(write(), SQLITE_OK);
    EXPECT_EQ(Count(backend), 3);
    EXPECT_EQ(write(), SQLITE_OK) << "without a transaction every statement reads on its own";
    EXPECT_EQ(Count(backend), 4);
    sqlite3_close(writer);
}

// A statement is prepared once and reused: every run starts at its first row with its own
// parameters, the same SQL may be open twice, and a faulty SQL fails every time.
TEST_F(DbQueryTest, ReusedStatementsStartAfreshEachTime) {
    const std::string sql = "SELECT id FROM v WHERE id >= :id ORDER BY id";
    const auto ids = [](TDbQuery& q) {
        std::vector<int> seen;
        for (; !q.Eof(); q.Next()) seen.push_back(q.Integer(0));
        return seen;
    };
    auto first = Query(sql);
    first->SetInteger("id", 1);
    first->Open();
    EXPECT_EQ(first->Integer(0), 1);
    {
        auto beside = Query(sql);
        beside->SetInteger("id", 3);
        beside->Open();
        EXPECT_EQ(ids(*beside), (std::vector<int>{3, 4}));
    }
    first->Next();
    EXPECT_EQ(first->Integer(0), 2) << "the other cursor of the same SQL did not disturb this one";
    first.reset();  // closed in the middle of its rows
    for (int from : {4, 2, 5}) {
        auto again = Query(sql);
        again->SetText("id", std::to_string(from));  // text this time: SQLite compares it as a number here
        again->Open();
        std::vector<int> expected;
        for (int id = from; id <= 4; ++id) expected.push_back(id);
        EXPECT_EQ(ids(*again), expected) << from;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto faulty = Query("SELECT missing FROM v");
        EXPECT_EQ(velkaro::test::ErrorOf([&] { faulty->Open(); }),
                  "Datenbankabfrage fehlgeschlagen (no such column: missing)");
    }
}
