#!/usr/bin/env bash
# Installs what is missing, builds Velkaro, prepares the embedded demo NAV database and
# produces the e-invoices (PDF/A-3 with embedded XML, and the XML beside) of every demo
# invoice in one batch run. Everything it writes lands in out/demo/ (not tracked by git);
# running it again rebuilds only what changed and replaces the invoice files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# Only the program is built; the tests of the shared build folder stay as configured.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target velkaro

work="$PWD/out/demo"
mkdir -p "$work"
# Unchanged copies of the demo settings and their layout next to the database they name.
cp demo/velkaro.ini "$work/velkaro.ini"
cp demo/velkaro.layout.ini "$work/velkaro.layout.ini"
bash demo/make-demo-db.sh "$work/velkaro-demo.db"

company="Muster GmbH"
export VELKARO_INI="$work/velkaro.ini"
status=0
# Every invoice the company posted in 2024, selected by the program itself.
./build/velkaro /von 01.01.2024 /bis 31.12.2024 /mandant "$company" /out "$work/Ausgabe" /xml || status=$?

echo
echo "Protokoll ($work/velkaro.log):"
sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//' "$work/velkaro.log" || true
echo
echo "Die PDF- und XML-Dateien der Demo-Rechnungen liegen in $work/Ausgabe:"
ls -l "$work/Ausgabe" || true

# With a display, the main window opens on the demo database right away.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -t 1 ]; then
  echo
  echo "Das Hauptfenster öffnet sich auf der Demo-Datenbank (VELKARO_INI=$VELKARO_INI)."
  ./build/velkaro || true
fi
exit "$status"
