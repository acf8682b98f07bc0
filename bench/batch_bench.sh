#!/usr/bin/env bash
# Batch production benchmark: the real program produces N (default 200) documents of the
# bulk demo database in one batch run, as a nightly scheduled task would: invoices with
# the credit memo of every tenth of them in between (about one in eleven documents).
#   bench/batch_bench.sh [N] [program]
# program: default build/velkaro (scripts/demo.sh builds it as RelWithDebInfo).
# Reports the median and the 90th percentile time per document, taken from the intervals
# between the modification times of successive PDFs (the first invoice, which carries
# the start-up, is left out), the whole run's wall time and its peak memory
# (/usr/bin/time -v). Files go to out/bench/ (not tracked by git).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
count="${1:-200}"
program="${2:-$root/build/velkaro}"
[[ "$count" =~ ^[0-9]+$ ]] && [ "$count" -ge 2 ] || { echo "Anzahl muss eine Zahl ab 2 sein: $count" >&2; exit 1; }
[ -x "$program" ] || {
  echo "Programm fehlt: $program (cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo && cmake --build build --target velkaro)" >&2
  exit 1
}
[ -x /usr/bin/time ] || { echo "/usr/bin/time fehlt (Paket time)" >&2; exit 1; }

work="$root/out/bench"
mkdir -p "$work"
bash "$root/demo/make-bulk-db.sh" "$count" "$work/bulk-$count.db"
sed -e "s/^Datenbank=.*/Datenbank=bulk-$count.db/" "$root/demo/velkaro.ini" > "$work/velkaro.ini"

# Each credit memo right after the invoice it corrects ("B0000010", "C0000010").
mapfile -t docs < <(sqlite3 -readonly -separator ' ' "$work/bulk-$count.db" \
  "SELECT k, n FROM (SELECT '/rg' AS k, [No_] AS n FROM \"Muster GmbH\$Sales Invoice Header\" WHERE [No_] LIKE 'B%'
   UNION ALL SELECT '/gs', [No_] FROM \"Muster GmbH\$Sales Cr_Memo Header\" WHERE [No_] LIKE 'C%')
   ORDER BY substr(n, 2), n LIMIT $count;")
[ "${#docs[@]}" -eq "$count" ] || { echo "nur ${#docs[@]} Belege in der Datenbank" >&2; exit 1; }
args=()
credits=0
for doc in "${docs[@]}"; do
  args+=("${doc%% *}" "${doc#* }")
  [ "${doc%% *}" = /gs ] && credits=$((credits + 1))
done
echo "Belege: $count, davon $credits Rechnungskorrekturen"

rm -rf "$work/Ausgabe"
status=0
VELKARO_INI="$work/velkaro.ini" /usr/bin/time -v -o "$work/time.txt" \
  "$program" "${args[@]}" /out "$work/Ausgabe" || status=$?
pdfs=$(find "$work/Ausgabe" -name '*.pdf' | wc -l)
if [ "$status" -ne 0 ] || [ "$pdfs" -ne "$count" ]; then
  echo "Lauf fehlgeschlagen (Exit-Code $status, $pdfs von $count PDF-Dateien), siehe $work/velkaro.log" >&2
  exit 1
fi

# Intervals in milliseconds, sorted; plain POSIX awk (Debian's default is mawk).
find "$work/Ausgabe" -name '*.pdf' -printf '%T@\n' | sort -n |
  awk 'NR > 1 { printf "%.6f\n", ($1 - prev) * 1000 } { prev = $1 }' | sort -n | awk '
  { d[++n] = $1 }
  END {
    median = (n % 2) ? d[(n + 1) / 2] : (d[n / 2] + d[n / 2 + 1]) / 2
    printf "Zeit je Beleg: Median %.2f ms, 90. Perzentil %.2f ms (%d Abstände)\n", median, d[int(n * 0.9 + 0.5)], n
  }'
awk -F': ' -v n="$count" '
  /Elapsed \(wall clock\)/ {
    k = split($2, t, ":"); s = 0; for (i = 1; i <= k; ++i) s = s * 60 + t[i]
    printf "Gesamtlaufzeit: %.2f s für %d Belege (%.2f ms je Beleg)\n", s, n, s * 1000 / n
  }
  /Maximum resident set size/ { printf "Spitzenspeicher: %.1f MB\n", $2 / 1024 }' "$work/time.txt"
du -sh "$work/Ausgabe" | awk '{ print "Ausgabe: " $1 " in '"$work"'/Ausgabe" }'
