#pragma once
// The embedded backend on libsqlite3: one database file, opened read-only. The
// statement time-out is enforced through SQLite's progress handler.
#include <memory>
#include <string>

#include "erp/db_backend.h"

namespace velkaro {

// Opens `fileName` read-only. A missing file or one that is not an SQLite database
// raises an error naming the file, with SQLite's own message.
std::shared_ptr<TDbBackend> OpenSqliteBackend(const std::string& fileName);

} // namespace velkaro
