#pragma once
// Another program in the middle of writing to an SQLite database, for the tests of what
// a reader does meanwhile. Header-only: only the suites that link SQLite include it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace velkaro::test {

// A second connection that holds the database's exclusive lock until Release (or the
// end of the object). Release may come from another thread.
class TSqliteWriterLock {
public:
    explicit TSqliteWriterLock(const std::string& file) {
        EXPECT_EQ(sqlite3_open(file.c_str(), &FDb), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(FDb, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~TSqliteWriterLock() { Release(); }
    TSqliteWriterLock(const TSqliteWriterLock&) = delete;
    TSqliteWriterLock& operator=(const TSqliteWriterLock&) = delete;

    void Release() {
        if (!FDb) return;
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(FDb);
        FDb = nullptr;
    }

private:
    sqlite3* FDb = nullptr;
};

} // namespace velkaro::test
