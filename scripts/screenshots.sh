#!/usr/bin/env bash
# Builds the program, creates the demo database and writes pictures to out/screenshots/,
# dark and light: the main window at the start, after a search, with ticked and
# selected rows, and the log after producing three invoices; the mail settings dialog
# with each tab (the preview of a demo invoice); the about dialog; also at scale factor 2.
# Then the layout designer without letter paper (the live view's page is paper in the dark
# look too), with letter paper and logo at 75 % and 150 % with the live view, as on a
# 1920 x 1080 screen with the live view at 100 %, its page alone, and the preview PDF drawn
# by pdftoppm to set beside it.
# Runs offscreen, no display needed.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target velkaro_screenshots velkaro_designer_screenshots

work="$PWD/out/screenshots"
data="$work/daten"
rm -rf "$work"
mkdir -p "$data"
cp demo/velkaro.ini "$data/velkaro.ini"
cp demo/velkaro.layout.ini "$data/velkaro.layout.ini"
bash demo/make-demo-db.sh "$data/velkaro-demo.db"

export QT_QPA_PLATFORM=offscreen
# A German desk: amounts as 1.190,00 (the pictures show what an accounting user sees).
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
export XDG_CONFIG_HOME="$data/config"   # window state of this run only
./build/velkaro_screenshots "$data/velkaro.ini" "$work" ""
QT_SCALE_FACTOR=2 ./build/velkaro_screenshots "$data/velkaro.ini" "$work" "-2x"
./build/velkaro_designer_screenshots "$data/velkaro.ini" "$work" "" \
  "$PWD/tests/data/layout/briefpapier.png" "$PWD/tests/data/layout/logo.png" RE24-0010
pdftoppm -r 72 -png -f 1 -l 1 "$work/designer-vorschau.pdf" "$work/designer-vorschau"
ls -1 "$work"/*.png
