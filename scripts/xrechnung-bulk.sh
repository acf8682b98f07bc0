#!/usr/bin/env bash
# Produces N synthetic bulk invoices with [XRechnung] Verwenden=Immer and runs the
# XRechnung validator over every XML. Each invoice must either pass or carry a
# "Prüfung" line in the log; a failing XML without one is a silently invalid XRechnung.
#   xrechnung-bulk.sh [N] [program]     default 300, build/velkaro
# Prints the counts; exits 1 when an invoice fails silently or is not produced.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
count="${1:-300}"
program="${2:-$root/build/velkaro}"
validate="$root/third_party/validation/validate-cii"

work="$root/out/xrechnung-bulk"
mkdir -p "$work"
bash "$root/demo/make-bulk-db.sh" "$count" "$work/bulk-$count.db"
sed -e "s/^Datenbank=.*/Datenbank=bulk-$count.db/" -e "s/^Verwenden=.*/Verwenden=Immer/" \
  "$root/demo/velkaro.ini" > "$work/velkaro.ini"
grep -qx "Verwenden=Immer" "$work/velkaro.ini" || { echo "[XRechnung] Verwenden fehlt in demo/velkaro.ini" >&2; exit 1; }

mapfile -t invoices < <(sqlite3 -readonly "$work/bulk-$count.db" \
  "SELECT [No_] FROM \"Muster GmbH\$Sales Invoice Header\" WHERE [No_] LIKE 'B%' ORDER BY [No_] LIMIT $count;")
args=()
for no in "${invoices[@]}"; do args+=(/rg "$no"); done

rm -rf "$work/Ausgabe" "$work/velkaro.log"
VELKARO_INI="$work/velkaro.ini" "$program" "${args[@]}" /out "$work/Ausgabe" /xml >/dev/null || true
log="$work/velkaro.log"

# One validator run over all files; its output names each file "OK  FILE" or "FAIL FILE".
files=()
for no in "${invoices[@]}"; do
  [ -f "$work/Ausgabe/Rechnung_$no.xml" ] && files+=("$work/Ausgabe/Rechnung_$no.xml")
done
"$validate" -q --xrechnung "${files[@]}" >"$work/validate.txt" 2>&1 || true

pass=0 finding=0 silent=0 missing=0
declare -A rules=()
for no in "${invoices[@]}"; do
  xml="$work/Ausgabe/Rechnung_$no.xml"
  if [ ! -f "$xml" ]; then missing=$((missing + 1)); continue; fi
  if grep -qx "OK  $xml" "$work/validate.txt"; then
    pass=$((pass + 1))
  elif grep -q "Prüfung $no: " "$log"; then
    finding=$((finding + 1))
    for r in $(grep -o "Prüfung $no: [^ ]*" "$log" | awk '{print $3}'); do rules[$r]=$(( ${rules[$r]:-0} + 1 )); done
  else
    silent=$((silent + 1))
    echo "ohne Befund ungültig: $no" >&2
    awk -v f="FAIL $xml" '$0 == f { on = 1; next } /^(OK|FAIL) / { on = 0 } on' "$work/validate.txt" >&2
  fi
done
echo "$count Rechnungen: $pass gültig, $finding mit Befund, $silent ohne Befund ungültig, $missing nicht erzeugt"
for r in "${!rules[@]}"; do echo "  $r: ${rules[$r]}"; done
[ "$silent" -eq 0 ] && [ "$missing" -eq 0 ]
