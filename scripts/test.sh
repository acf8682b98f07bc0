#!/usr/bin/env bash
# Installs what is missing, builds Velkaro and runs the whole test suite twice:
# once as built for users, once with AddressSanitizer and UndefinedBehaviorSanitizer.
# The tests are switched on explicitly, whatever an earlier configure left in the cache,
# and ctest fails when it finds none: a run that tested nothing never passes.
# A failing half does not keep the other from running; the script fails at the end when
# either did.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARO_BUILD_TESTS=ON
cmake --build build -j"$jobs"
failed=()
ctest --test-dir build -j"$jobs" --output-on-failure --no-tests=error || failed+=("normal")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVELKARO_SANITIZE=ON -DVELKARO_BUILD_TESTS=ON
if cmake --build build-sanitize -j"$jobs"; then
  ctest --test-dir build-sanitize -j"$jobs" --output-on-failure --no-tests=error || failed+=("sanitizer")
else
  failed+=("sanitizer (build)")
fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "FEHLGESCHLAGEN: ${failed[*]}" >&2
  exit 1
fi
echo "Beide Testläufe (normal und mit Sanitizern) bestanden."
