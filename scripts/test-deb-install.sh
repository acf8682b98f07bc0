#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it as a fresh machine would
# (dpkg -i, then apt-get -f install for the missing dependencies) and runs the installed
# program from /usr/bin. Needs root. With --remove the package is purged afterwards.
#
#   bash scripts/test-deb-install.sh [--remove] [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."

remove=0
if [[ ${1:-} == --remove ]]; then remove=1; shift; fi
build=${1:-build}

if [[ $(id -u) -ne 0 ]]; then
  echo "test-deb-install: needs root (dpkg -i)" >&2
  exit 2
fi

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELKARO_BUILD_TESTS=OFF
fi
cmake --build "$build" -j"$(nproc)" --target velkaro
rm -f "$build"/velkaro_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/velkaro_*.deb)

echo "== $deb"
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"

# The package must say what it needs; a missing runtime package would only show on a
# fresh machine.
depends=$(dpkg-deb -f "$deb" Depends)
for need in unixodbc tdsodbc fonts-liberation2 icc-profiles-free; do
  grep -qw -- "$need" <<<"$depends" || { echo "test-deb-install: Depends lacks $need: $depends" >&2; exit 1; }
done
if grep -q VELKARO_WITH_UI:BOOL=ON "$build/CMakeCache.txt"; then
  for need in libqt6widgets6 libqt6pdf6; do
    grep -qw -- "$need" <<<"$depends" || { echo "test-deb-install: Depends lacks $need: $depends" >&2; exit 1; }
  done
fi

dpkg -i "$deb" || true  # fails when dependencies are missing; apt-get completes it
apt-get -f install -y
dpkg -s velkaro | grep -q '^Status: install ok installed'

for f in /usr/bin/velkaro /usr/share/doc/velkaro/LIESMICH.md /usr/share/doc/velkaro/velkaro.ini.beispiel; do
  [[ -f $f ]] || { echo "test-deb-install: $f missing" >&2; exit 1; }
done

# From the installed path, with a settings file of its own (the example settings, which
# name the demo database beside them): the help, the version, the settings check and one
# demo invoice.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp /usr/share/doc/velkaro/velkaro.ini.beispiel "$work/velkaro.ini"
export VELKARO_INI=$work/velkaro.ini
/usr/bin/velkaro --version
/usr/bin/velkaro --hilfe >/dev/null
have_demo=0
if command -v sqlite3 >/dev/null; then
  cp demo/velkaro.layout.ini "$work/velkaro.layout.ini"
  bash demo/make-demo-db.sh "$work/velkaro-demo.db"
  have_demo=1
fi

rc=0
(cd / && /usr/bin/velkaro /pruefen) || rc=$?
echo "velkaro /pruefen: exit code $rc"
# With the demo database everything must be in order; without it 2 (no database) is the
# expected answer. Anything else means the installed program does not work.
if [[ $have_demo -eq 1 ]]; then
  [[ $rc -eq 0 ]] || exit 1
else
  [[ $rc -eq 2 ]] || exit 1
fi

# One demo invoice from the installed program: fonts (fontconfig) and the sRGB profile
# come from the packages it depends on; the result must pass the PDF/A check.
if [[ $have_demo -eq 1 ]]; then
  (cd / && /usr/bin/velkaro /rg RE24-0001 /out "$work/Ausgabe" /xml)
  pdf=$(ls "$work"/Ausgabe/*.pdf)
  echo "produced: $pdf ($(stat -c %s "$pdf") bytes)"
  checker=third_party/validation/check-facturx-pdf
  if [[ -x $checker ]] && command -v java >/dev/null; then "$checker" "$pdf"; fi
fi

if [[ $remove -eq 1 ]]; then
  dpkg --purge velkaro
fi
echo "test-deb-install: OK"
