#!/usr/bin/env bash
# Builds the demo database in Business Central naming (SQLite): the same companies and
# documents as make-demo-db.sh, every per-company table under its app id
# ("<Company>$<Table>$<app id>"), an extension's field in a companion table and the
# versions of the installed apps (bc-naming.sql).
#   make-bc-demo-db.sh [target]   default target: velkaro-bc-demo.db next to this script
# Idempotent like make-demo-db.sh; written to a temporary name first and renamed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
target="${1:-$here/velkaro-bc-demo.db}"
. "$here/db-build.sh"
up_to_date "$target" "$here/companies.txt" "$here/nav-schema.sql" "$here/nav-database.sql" "$here/demo-data.sql" \
  "$here/bc-naming.sql" "$here/make-demo-db.sh" "$here/db-build.sh" "$0" && exit 0
start_build "$target"
bash "$here/make-demo-db.sh" "$tmp.nav"
mv -f "$tmp.nav" "$tmp"

base=437dbf0e-84ff-417a-965d-ed2bb9650972
cmnm=5c1e7a4d-2b9f-4e36-a0c8-3d6f1b2e9a71
card=9d4b2f60-7c1a-4e58-b3d2-6a8e0f5c4b19
# Every per-company table gets the app id of the app that holds it.
renames="$(sqlite3 -bail "$tmp" "SELECT printf('ALTER TABLE \"%w\" RENAME TO \"%w\$%s\";', name, name,
    CASE WHEN name LIKE '%\$CMNM Recipient' THEN '$cmnm'
         WHEN name LIKE '%\$DO Payment Credit Card' THEN '$card' ELSE '$base' END)
  FROM sqlite_master WHERE type = 'table' AND name LIKE '%\$%' AND name NOT LIKE '\$ndo\$%' ORDER BY name")"
{
  echo "PRAGMA journal_mode = OFF;"
  echo "BEGIN;"
  printf '%s\n' "$renames"
  cat "$here/bc-naming.sql"
  echo "COMMIT;"
  echo "ANALYZE;"
} | sqlite3 -bail "$tmp" >/dev/null

finish_build "$target"
