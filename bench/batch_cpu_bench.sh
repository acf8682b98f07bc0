#!/usr/bin/env bash
# CPU time per document of a whole batch run (start-up included), the figure that says
# how far the batch is from the floor of its work: the real program produces N (default
# 1000) invoices, clones of the demo invoices of "Muster GmbH", in one run, first on
# the demo database as it is, then with R (default 20000) further CMNM recipient rows
# of other customers, which the run reads but which change no invoice.
#   bench/batch_cpu_bench.sh [N] [program] [R]
# program: default build/velkaro. CPU time (user + system, /usr/bin/time) rather than
# wall time, so that other work on the machine hardly shows. Prints CPU ms per invoice
# for both databases, their ratio and the size of the PDFs; then, when the benchmarks
# are built beside the program (-DVELKARO_BUILD_BENCH=ON), the all-time search of the
# window over the bulk database of 100,000 invoices and 10,000 credit memos
# (bench/erp_bench.cpp). Files go to out/batch-cpu-bench/ (not tracked by git).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
count="${1:-1000}"
program="${2:-$root/build/velkaro}"
recipients="${3:-20000}"
[[ "$count" =~ ^[0-9]+$ ]] && [ "$count" -ge 1 ] || { echo "Anzahl muss eine Zahl ab 1 sein: $count" >&2; exit 1; }
[[ "$recipients" =~ ^[0-9]+$ ]] || { echo "Empfängerzahl muss eine Zahl sein: $recipients" >&2; exit 1; }
[ -x "$program" ] || { echo "Programm fehlt: $program" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time fehlt (Paket time)" >&2; exit 1; }

work="$root/out/batch-cpu-bench"
mkdir -p "$work"
bash "$root/demo/make-demo-db.sh" "$work/demo.db"

H='"Muster GmbH$Sales Invoice Header"'
L='"Muster GmbH$Sales Invoice Line"'
R='"Muster GmbH$CMNM Recipient"'
# The clones K00001 … of the demo invoices RE24-0001 … in turn, each with the lines of
# its original; the demo database's own rows stay.
build_db() {  # target, recipient rows
  local target="$1" rows="$2"
  [ -f "$target" ] && [ "$(sqlite3 "$target" 'PRAGMA user_version')" = "$count$rows" ] && [ "$target" -nt "$work/demo.db" ] && return 0
  cp "$work/demo.db" "$target.tmp"
  # Every column copied as it is, the number replaced: the column lists come from the schema.
  local hcols lcols
  hcols="$(sqlite3 "$target.tmp" "SELECT group_concat('[' || name || ']', ', ') FROM pragma_table_info('Muster GmbH\$Sales Invoice Header') WHERE name <> 'No_'")"
  lcols="$(sqlite3 "$target.tmp" "SELECT group_concat('[' || name || ']', ', ') FROM pragma_table_info('Muster GmbH\$Sales Invoice Line') WHERE name <> 'Document No_'")"
  sqlite3 -bail "$target.tmp" >/dev/null <<SQL
PRAGMA journal_mode = OFF;
BEGIN;
CREATE TEMP TABLE src AS SELECT row_number() OVER (ORDER BY [No_]) - 1 AS k, [No_] FROM $H WHERE [No_] LIKE 'RE24-%';
CREATE TEMP TABLE n AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $count)
  SELECT printf('K%05d', i) AS no, (SELECT [No_] FROM src WHERE k = (i - 1) % (SELECT count(*) FROM src)) AS orig FROM n;
INSERT INTO $H ([No_], $hcols) SELECT n.no, $hcols FROM n JOIN $H h ON h.[No_] = n.orig;
INSERT INTO $L ([Document No_], $lcols) SELECT n.no, $lcols FROM n JOIN $L l ON l.[Document No_] = n.orig;
WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r WHERE i < $rows)
INSERT INTO $R ([Source Type], [Source Code], [Document Type], [Line No_], [Recipient Type], [Custom Address])
  SELECT 1, printf('X%06d', i / 2), 'VK-RECHNUNG', 10000 * (1 + i % 2), 0, printf('rechnung%d@kunde%d.example', i % 2, i / 2)
  FROM r WHERE $rows > 0;
PRAGMA user_version = $count$rows;
COMMIT;
ANALYZE;
SQL
  mv -f "$target.tmp" "$target"
}

args=()
for ((i = 1; i <= count; ++i)); do args+=(/rg "$(printf 'K%05d' "$i")"); done

# Prints the CPU milliseconds per invoice of one run on the database.
run() {  # database file, label
  local db="$1" label="$2"
  sed -e "s/^Datenbank=.*/Datenbank=$(basename "$db")/" \
    "$root/demo/velkaro.ini" > "$work/velkaro.ini"
  cp "$root/demo/velkaro.layout.ini" "$work/velkaro.layout.ini"
  rm -rf "$work/Ausgabe" "$work/velkaro.log"
  local status=0
  VELKARO_INI="$work/velkaro.ini" /usr/bin/time -f '%U %S %M' -o "$work/time.txt" \
    "$program" "${args[@]}" /out "$work/Ausgabe" >/dev/null 2>&1 || status=$?
  local pdfs
  pdfs=$(find "$work/Ausgabe" -name '*.pdf' | wc -l)
  if [ "$pdfs" -ne "$count" ]; then
    echo "Lauf fehlgeschlagen (Exit-Code $status, $pdfs von $count PDF-Dateien), siehe $work/velkaro.log" >&2
    exit 1
  fi
  local bytes
  bytes=$(find "$work/Ausgabe" -name '*.pdf' -printf '%s\n' | awk '{ s += $1 } END { print s }')
  awk -v n="$count" -v label="$label" -v bytes="$bytes" '{
    ms = ($1 + $2) * 1000 / n
    printf "%s: %.3f ms CPU je Rechnung (%d Rechnungen, %.2f s Benutzer + %.2f s System, Spitzenspeicher %.1f MB, PDF im Mittel %.0f Byte)\n",
           label, ms, n, $1, $2, $3 / 1024, bytes / n
    print ms > "'"$work"'/last-ms.txt"
  }' "$work/time.txt"
}

build_db "$work/clones.db" 0
build_db "$work/clones-recipients.db" "$recipients"
run "$work/clones.db" "Demo-Rechnungen"
plain="$(cat "$work/last-ms.txt")"
run "$work/clones-recipients.db" "mit $recipients Empfängerzeilen"
with="$(cat "$work/last-ms.txt")"
awk -v a="$plain" -v b="$with" 'BEGIN { printf "Verhältnis mit/ohne Empfängerzeilen: %.2f\n", b / a }'

erp_bench="$(dirname "$program")/bench/erp_bench"
if [ -x "$erp_bench" ]; then
  "$erp_bench" --benchmark_filter='BM_SearchAllTime/' 2>/dev/null | awk '
    /BM_SearchAllTime\/.*_median/ { printf "Suche über alle Jahre (100.000 Rechnungen, 10.000 Gutschriften, 1000 Zeilen): %s %s CPU (Median)\n", $4, $5 }'
else
  echo "Suche übersprungen: $erp_bench fehlt (cmake -DVELKARO_BUILD_BENCH=ON, Ziel erp_bench)"
fi
