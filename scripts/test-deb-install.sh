#!/usr/bin/env bash
# Install test of the two Debian packages, as an administrator would follow README and
# LIESMICH.md on a fresh Debian 12 server:
#   - packs "velkaro" and "velkaro-desktop" from a build folder (cpack, without building
#     anything else);
#   - makes a fresh root (debootstrap, minimal base system with systemd and man-db, as a
#     server has them) and installs the batch alone: no Qt library may come with it;
#   - the service account, its state folder, the units, the man page are there;
#   - the recipe: settings in /etc/velkaro (root:velkaro 0640), state and output in
#     /var/lib/velkaro, "/pruefen" and a production run as the service account with
#     runuser, "systemd-analyze verify" of the service and the timer;
#   - then the window's package: "velkaro" without documents hands over to it.
# Needs root and Debian's archive. Exit code 77: cannot run here (not root, no debootstrap);
# under CI that is a failure.
#
#   bash scripts/test-deb-install.sh [--keep] [build-folder]
#
# build-folder: a configured build with VELKARO_WITH_UI=ON whose programs are built
# (default: scripts/package.sh builds one in build-package). --keep leaves the root in
# place and prints where it is. The base system is kept as a tarball in
# $VELKARO_ROOT_CACHE (default /var/cache/velkaro-test) for a week, and the packages
# fetched into it, so that a second run does not fetch them again.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD

keep=0
if [[ ${1:-} == --keep ]]; then keep=1; shift; fi
build=${1:-}

fail() { echo "test-deb-install: $*" >&2; exit 1; }
# Under CI a test that cannot run is a failure, like every other skipped test there.
skip() {
  [[ -z ${CI:-} ]] || fail "cannot run: $*"
  echo "test-deb-install: skipped: $*" >&2
  exit 77
}

[[ $(id -u) -eq 0 ]] || skip "needs root (chroot, dpkg)"
command -v debootstrap >/dev/null || skip "no debootstrap (scripts/install-deps.sh)"
command -v sqlite3 >/dev/null || skip "no sqlite3 (scripts/install-deps.sh)"

work=$(mktemp -d /var/tmp/velkaro-install-test.XXXXXX)
root=$work/root
cleanup() {
  for m in proc dev var/cache/apt/archives; do mountpoint -q "$root/$m" 2>/dev/null && umount -l "$root/$m"; done
  if [[ $keep -eq 1 ]]; then echo "test-deb-install: root kept in $root"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# --- the packages -------------------------------------------------------------------
if [[ -z $build ]]; then
  bash scripts/package.sh build-package >/dev/null
  debdir=build-package
else
  grep -q '^VELKARO_WITH_UI:BOOL=ON' "$build/CMakeCache.txt" || fail "$build: built without the window (VELKARO_WITH_UI=OFF)"
  (cd "$build" && cpack -G DEB -B "$work/debs" >/dev/null)
  debdir=$work/debs
fi
batch_deb=$(ls "$debdir"/velkaro_*.deb)
desktop_deb=$(ls "$debdir"/velkaro-desktop_*.deb)
[[ -f $batch_deb && -f $desktop_deb ]] || fail "packages missing in $debdir"
for deb in "$batch_deb" "$desktop_deb"; do
  echo "== $deb"
  dpkg-deb -I "$deb"
  dpkg-deb -c "$deb"
done

batch_depends=$(dpkg-deb -f "$batch_deb" Depends)
desktop_depends=$(dpkg-deb -f "$desktop_deb" Depends)
for need in unixodbc tdsodbc fonts-liberation2 icc-profiles-free; do
  grep -qw -- "$need" <<<"$batch_depends" || fail "velkaro: Depends lacks $need: $batch_depends"
done
grep -qi qt <<<"$batch_depends" && fail "velkaro depends on Qt: $batch_depends"
for need in velkaro libqt6widgets6 libqt6pdf6 qt6-qpa-plugins; do
  grep -qw -- "$need" <<<"$desktop_depends" || fail "velkaro-desktop: Depends lacks $need: $desktop_depends"
done
dpkg-deb -c "$batch_deb" | grep -q 'libQt\|/velkaro-desktop$' && fail "velkaro carries the window"

# --- a fresh root -------------------------------------------------------------------
mirror=$(sed -n 's/^URIs: *\(http[^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}
cache=${VELKARO_ROOT_CACHE:-/var/cache/velkaro-test}
base=$cache/bookworm-minbase.tar
mkdir -p "$cache"
if [[ -n $(find "$base" -mtime -7 2>/dev/null) ]]; then
  mkdir -p "$root" && tar -C "$root" -xf "$base"
else
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; fail "debootstrap failed"; }
  tar -C "$root" -cf "$base.new" . && mv "$base.new" "$base"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
# The packages fetched into the root are kept beside the base system for the next run.
mkdir -p "$cache/archives/partial"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
apt_in_root() { in_root env DEBIAN_FRONTEND=noninteractive apt-get -o Dpkg::Use-Pty=0 -q "$@"; }

apt_in_root update >/dev/null
# What a Debian server has anyway: systemd (sysusers, tmpfiles, systemd-analyze), man-db.
apt_in_root install -y --no-install-recommends systemd man-db >/dev/null
before=$(in_root dpkg-query -W -f '${binary:Package}\n' | wc -l)
cp "$batch_deb" "$desktop_deb" "$root/tmp/"
apt_in_root install -y "/tmp/$(basename "$batch_deb")" >"$work/apt-batch.log" ||
  { cat "$work/apt-batch.log" >&2; fail "velkaro does not install"; }
after=$(in_root dpkg-query -W -f '${binary:Package}\n' | wc -l)
echo "velkaro: $((after - before)) packages installed with it"
in_root dpkg-query -W -f '${binary:Package}\n' | grep -i 'qt6\|libx11' && fail "velkaro pulled in a window library"

# --- what the batch package sets up -------------------------------------------------
for f in /usr/bin/velkaro /usr/share/man/man1/velkaro.1.gz /usr/share/doc/velkaro/LIESMICH.md \
         /usr/share/doc/velkaro/velkaro.ini.beispiel /usr/lib/systemd/system/velkaro.service \
         /usr/lib/systemd/system/velkaro.timer /usr/lib/sysusers.d/velkaro.conf /usr/lib/tmpfiles.d/velkaro.conf; do
  [[ -f $root$f ]] || fail "$f missing"
done
[[ ! -e $root/usr/bin/velkaro-desktop ]] || fail "velkaro-desktop installed with the batch"
account=$(in_root getent passwd velkaro) || fail "no account velkaro"
[[ $(cut -d: -f6 <<<"$account") == /var/lib/velkaro ]] || fail "home of velkaro: $account"
[[ $(in_root stat -c '%U:%G %a' /var/lib/velkaro) == "velkaro:velkaro 750" ]] ||
  fail "/var/lib/velkaro: $(in_root stat -c '%U:%G %a' /var/lib/velkaro)"
in_root systemctl is-enabled velkaro.timer >/dev/null 2>&1 && fail "velkaro.timer enabled by the package"
in_root man -w velkaro >/dev/null || fail "man velkaro finds no page"
in_root sh -c 'man velkaro 2>/dev/null | grep -q "VELKARO_INI"' || fail "man velkaro: no VELKARO_INI"
# Exit code 1 for errors in the units (a missing program, an unknown key, a man page
# that is not there).
in_root systemd-analyze verify /usr/lib/systemd/system/velkaro.service /usr/lib/systemd/system/velkaro.timer ||
  fail "systemd-analyze verify"
grep -q '^ExecStart=/usr/bin/velkaro ' "$root/usr/lib/systemd/system/velkaro.service" || fail "ExecStart"
grep -q '^UMask=0027$' "$root/usr/lib/systemd/system/velkaro.service" || fail "UMask"

# --- the recipe of README / LIESMICH.md ---------------------------------------------
# Settings: root writes them, the service account reads them and stores its protected
# secret in them (/geheimnis), nobody else sees them.
in_root install -d -m 2770 -o root -g velkaro /etc/velkaro
in_root install -m 0660 -o root -g velkaro /usr/share/doc/velkaro/velkaro.ini.beispiel /etc/velkaro/velkaro.ini
ini=$root/etc/velkaro/velkaro.ini
# Sets key=value in [section] of the settings file: replaces the key's line (also a
# commented-out one), else adds it to the section, else adds the section.
set_ini() {
  # The template has CR LF line ends, as every text file the program writes.
  awk -v sec="[$1]" -v key="$2" -v val="$3" '
    function put() { printf "%s=%s%s\n", key, val, eol; done = 1 }
    { line = $0; eol = ""; if (sub(/\r$/, "", line)) eol = "\r" }
    line ~ /^\[/ { if (insec && !done) put(); insec = (line == sec); if (insec) seen = 1 }
    insec && !done && line ~ "^[;#]? *" key " *=" { put(); next }
    { print }
    END { if (!seen) printf "%s%s\n", sec, eol; if (!done) put() }' "$ini" >"$ini.new"
  cat "$ini.new" >"$ini" && rm "$ini.new"
}
# The demo database stands in for NAV.
bash demo/make-demo-db.sh "$work/velkaro-demo.db"
install -m 0640 "$work/velkaro-demo.db" "$root/var/lib/velkaro/velkaro-demo.db"
in_root chown velkaro:velkaro /var/lib/velkaro/velkaro-demo.db
install -m 0640 demo/velkaro.layout.ini "$root/etc/velkaro/velkaro.layout.ini"
in_root chgrp velkaro /etc/velkaro/velkaro.layout.ini
set_ini Datenbank Provider SQLite
set_ini Datenbank Datenbank /var/lib/velkaro/velkaro-demo.db
set_ini Datenbank Mandant "Muster GmbH"
set_ini Ausgabe Ordner /var/lib/velkaro/Ausgabe
if grep -q Datenordner "$root/usr/bin/velkaro"; then
  set_ini Ausgabe Datenordner /var/lib/velkaro
  state=/var/lib/velkaro
else
  # A program without the key keeps its state beside the settings: then they lie in the
  # account's home.
  in_root install -m 0640 -o root -g velkaro /etc/velkaro/velkaro.ini /var/lib/velkaro/velkaro.ini
  in_root install -m 0640 -o root -g velkaro /etc/velkaro/velkaro.layout.ini /var/lib/velkaro/velkaro.layout.ini
  sed -i 's#/etc/velkaro/velkaro.ini#/var/lib/velkaro/velkaro.ini#' "$root/usr/lib/systemd/system/velkaro.service"
  state=/var/lib/velkaro
  ini=$root/var/lib/velkaro/velkaro.ini
fi
ini_in_root=${ini#"$root"}
as_velkaro() { in_root runuser -u velkaro -- env VELKARO_INI="$ini_in_root" "$@"; }

as_velkaro /usr/bin/velkaro --version
rc=0
as_velkaro sh -c 'cd / && velkaro /pruefen' || rc=$?
[[ $rc -eq 0 ]] || fail "velkaro /pruefen as velkaro: exit code $rc"

rc=0
as_velkaro sh -c 'cd / && umask 0027 && velkaro /rg RE24-0001 /xml' >"$work/run.out" || rc=$?
cat "$work/run.out"
[[ $rc -eq 0 ]] || fail "production run as velkaro: exit code $rc"
pdf=$(ls "$root"/var/lib/velkaro/Ausgabe/*.pdf) || fail "no PDF in /var/lib/velkaro/Ausgabe"
[[ $(stat -c %U "$pdf") == velkaro || $(in_root stat -c %U "${pdf#"$root"}") == velkaro ]] || fail "$pdf not the account's"
[[ -f $root$state/velkaro.log ]] || fail "no log in $state"
echo "produced: ${pdf#"$root"} ($(stat -c %s "$pdf") bytes)"
checker=$src/third_party/validation/check-facturx-pdf
if [[ -x $checker ]] && command -v java >/dev/null; then "$checker" "$pdf"; fi
# Nothing written beside the settings in /etc.
[[ -z $(find "$root/etc/velkaro" -mindepth 1 -newer "$ini" ! -name 'velkaro*.ini' -print -quit) ]] ||
  fail "files written to /etc/velkaro: $(ls "$root/etc/velkaro")"

# The command of the service, as the service runs it (account, umask, settings): a run
# for yesterday without mail, which finds no documents in the demo database.
exec_start=$(sed -n 's/^ExecStart=//p' "$root/usr/lib/systemd/system/velkaro.service" | sed 's# /mail##')
env_line=$(sed -n 's/^Environment=//p' "$root/usr/lib/systemd/system/velkaro.service")
rc=0
in_root runuser -u velkaro -- env "$env_line" sh -c "cd /var/lib/velkaro && umask 0027 && $exec_start" || rc=$?
[[ $rc -eq 0 ]] || fail "the service's command as velkaro: exit code $rc"

# The account protects the mail secret with its own key in its home, and writes it into
# the settings, which stay closed to others.
rc=0
echo "geheimes-test-secret" | as_velkaro velkaro /geheimnis || rc=$?
[[ $rc -eq 0 ]] || fail "velkaro /geheimnis as velkaro: exit code $rc"
[[ $(in_root stat -c '%U %a' /var/lib/velkaro/.config/velkaro/geheim.key) == "velkaro 600" ]] ||
  fail "key file: $(in_root stat -c '%U %a' /var/lib/velkaro/.config/velkaro/geheim.key)"
grep -q geheimes-test-secret "$ini" && fail "the secret stands in clear text in $ini_in_root"
[[ $(in_root stat -c '%G %A' "$ini_in_root") =~ ^velkaro\ -rw-r[w-]----$ ]] ||
  fail "$ini_in_root after /geheimnis: $(in_root stat -c '%G %A' "$ini_in_root")"

# --- the window's package -----------------------------------------------------------
apt_in_root install -y "/tmp/$(basename "$desktop_deb")" >"$work/apt-desktop.log" ||
  { cat "$work/apt-desktop.log" >&2; fail "velkaro-desktop does not install"; }
echo "velkaro-desktop: $(($(in_root dpkg-query -W -f '${binary:Package}\n' | wc -l) - after)) more packages"
[[ -x $root/usr/bin/velkaro-desktop ]] || fail "/usr/bin/velkaro-desktop missing"
in_root ldd /usr/bin/velkaro-desktop | grep 'not found' && fail "velkaro-desktop: libraries missing"
# Without documents "velkaro" hands over to the window, which finds no screen here.
rc=0
in_root runuser -u velkaro -- env VELKARO_INI="$ini_in_root" velkaro 2>"$work/window.err" || rc=$?
[[ $rc -eq 2 ]] && grep -q 'Kein Bildschirm' "$work/window.err" || fail "velkaro without documents: exit $rc, $(cat "$work/window.err")"

echo "test-deb-install: OK"
