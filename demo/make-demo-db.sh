#!/usr/bin/env bash
# Builds the demo NAV database (SQLite) from the SQL files next to this script.
#   make-demo-db.sh [target]     default target: velkaro-demo.db next to this script
# Idempotent: does nothing when the target is newer than every SQL file and this script.
# The file is written to a temporary name first and renamed, so a reader never sees a
# half-built database.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
target="${1:-$here/velkaro-demo.db}"
. "$here/db-build.sh"
up_to_date "$target" "$here/companies.txt" "$here/nav-schema.sql" "$here/nav-database.sql" "$here/demo-data.sql" \
  "$here/db-build.sh" "$0" && exit 0
start_build "$target"

# The company name goes into quoted table names: double any '"', escape it for sed.
company_schema() {
  local name="${1//\"/\"\"}"
  name="$(printf '%s' "$name" | sed -e 's/[\/&\\]/\\&/g')"
  sed -e "s/@C@/$name/g" "$here/nav-schema.sql"
}

{
  echo "PRAGMA journal_mode = OFF;"
  echo "BEGIN;"
  while IFS= read -r c || [ -n "$c" ]; do
    [ -n "$c" ] && company_schema "$c"
  done < "$here/companies.txt"
  cat "$here/nav-database.sql" "$here/demo-data.sql"
  echo "COMMIT;"
  echo "ANALYZE;"
} | sqlite3 -bail "$tmp" >/dev/null

finish_build "$target"
