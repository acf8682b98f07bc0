#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Velkaro need.
# Idempotent: packages already present are left as they are.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libdeflate-dev libpcre2-dev libutf8proc-dev libssl-dev
  libjpeg62-turbo-dev libpng-dev libgif-dev libtiff-dev libstb-dev
  libfontconfig-dev libharfbuzz-dev libfribidi-dev fonts-liberation2 fonts-dejavu-core icc-profiles-free
  fonts-droid-fallback  # CJK glyphs: proves the tests see only their own fonts (tests/data/fonts.conf)
  libsqlite3-dev sqlite3 unixodbc-dev tdsodbc libsqliteodbc
  debootstrap
  libcurl4-openssl-dev nlohmann-json3-dev
  default-jre-headless libsaxonhe-java libxml2-utils libxml2-dev poppler-utils qpdf mupdf-tools
  python3 locales clang libclang-rt-14-dev time
  python3-aiosmtpd openssl  # the local SMTP server and the test CA of the SMTP mailing tests
  qt6-base-dev qt6-pdf-dev qt6-translations-l10n xvfb
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installiere Pakete: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi

# One end-to-end test checks the German number format of log lines.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen
fi
