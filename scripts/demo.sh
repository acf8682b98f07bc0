#!/usr/bin/env bash
# Installs what is missing, builds Velkaro, prepares the embedded demo database and
# runs the batch production over the demo invoices.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARO_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target velkaro

export VELKARO_INI="$PWD/demo/velkaro.ini"
./build/velkaro /rg DEMO
