# Shared by the make-*-db.sh scripts (sourced): the up-to-date check and the temporary file.
# up_to_date TARGET SOURCE…: true when TARGET exists and is newer than every SOURCE.
up_to_date() {
  local target="$1" f
  shift
  [ -f "$target" ] || return 1
  for f in "$@"; do
    if [ "$f" -nt "$target" ]; then return 1; fi
  done
  return 0
}

# start_build TARGET: checks for sqlite3 and sets $tmp to a new file beside TARGET, removed
# at exit unless finish_build renamed it.
start_build() {
  command -v sqlite3 >/dev/null || { echo "sqlite3 fehlt (Paket sqlite3)" >&2; exit 1; }
  mkdir -p "$(dirname "$1")"
  tmp="$(mktemp "$1.XXXXXX")"
  trap 'rm -f "$tmp" "$tmp.nav"' EXIT
}

# finish_build TARGET: the finished file replaces TARGET at once.
finish_build() {
  chmod 644 "$tmp"
  mv -f "$tmp" "$1"
  trap - EXIT
}
