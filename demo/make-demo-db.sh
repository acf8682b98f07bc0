#!/usr/bin/env bash
# Builds the demo NAV database (SQLite) from the SQL files next to this script.
#   make-demo-db.sh [target]     default target: velkaro-demo.db next to this script
# Idempotent: does nothing when the target is newer than every SQL file and this script.
# The file is written to a temporary name first and renamed, so a reader never sees a
# half-built database.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
target="${1:-$here/velkaro-demo.db}"
sources=("$here/companies.txt" "$here/nav-schema.sql" "$here/nav-database.sql" "$here/demo-data.sql" "$0")

if [ -f "$target" ]; then
  stale=0
  for f in "${sources[@]}"; do
    if [ "$f" -nt "$target" ]; then stale=1; fi
  done
  if [ "$stale" -eq 0 ]; then exit 0; fi
fi

command -v sqlite3 >/dev/null || { echo "sqlite3 fehlt (Paket sqlite3)" >&2; exit 1; }
mkdir -p "$(dirname "$target")"
tmp="$(mktemp "$target.XXXXXX")"
trap 'rm -f "$tmp"' EXIT

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

chmod 644 "$tmp"
mv -f "$tmp" "$target"
trap - EXIT
