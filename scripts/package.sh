#!/usr/bin/env bash
# Builds the two Debian packages together, without the tests, on all cores:
#   velkaro          the batch (no window library), its service account, systemd units, man page
#   velkaro-desktop  the main window and the layout designer (Qt 6), depends on velkaro
#
#   bash scripts/package.sh [build-folder]       (default: build-package)
#
# Prints the paths of the two .deb files, one a line (the batch first), as its last output.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
jobs=$(nproc)

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELKARO_BUILD_TESTS=OFF -DVELKARO_BUILD_BENCH=OFF \
      -DVELKARO_WITH_UI=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"
rm -f "$build"/velkaro_*.deb "$build"/velkaro-desktop_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
printf '%s\n' "$build"/velkaro_*.deb "$build"/velkaro-desktop_*.deb
