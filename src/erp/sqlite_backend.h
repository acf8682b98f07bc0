#pragma once
// The embedded backend on libsqlite3: one database file, opened read-only. The
// statement time-out is enforced through SQLite's progress handler.
#include <chrono>
#include <memory>
#include <string>

#include "erp/db_backend.h"

namespace velkaro {

// How long a statement waits for a database that another program keeps locked.
inline constexpr std::chrono::milliseconds kSqliteBusyTimeout{5000};

// Opens `fileName` read-only. A missing file or one that is not an SQLite database
// raises an error naming the file, with SQLite's own message. A shorter busy time-out
// serves tests; the program keeps the default.
std::shared_ptr<TDbBackend> OpenSqliteBackend(const std::string& fileName,
                                              std::chrono::milliseconds busyTimeout = kSqliteBusyTimeout);

} // namespace velkaro
