#!/usr/bin/env bash
# Installs the Debian packages that building, running or testing needs, when any is missing.
# Usage: scripts/deps.sh run|test|fuzz|package|deb-check
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
      libxlsxwriter-dev libminizip-dev libgsf-1-dev libxml2-dev libsqlite3-dev fonts-noto-cjk
      qt6-translations-l10n)
# The pinyin initials table is generated from the Unihan readings (bzip2-compressed).
pkgs+=(unicode-data libbz2-dev)
# An office's database server: Qt's PostgreSQL driver, and libpq's headers to read its
# connection URIs and tell why a connection failed.
pkgs+=(libqt6sql6-psql libpq-dev)
if [ "${1:-run}" = test ]; then
  pkgs+=(poppler-utils python3-xlwt python3-xlrd python3-openpyxl python3-xlsxwriter xvfb xauth
        xdotool imagemagick clang-format sqlite3 libsqlite3-dev libxml2-utils libreoffice-calc-nogui)
  # The tests start a throw-away PostgreSQL cluster of their own (scripts/pg_test_cluster.sh).
  pkgs+=(postgresql)
fi
if [ "${1:-run}" = fuzz ]; then
  pkgs+=(clang-14)
fi
if [ "${1:-run}" = package ]; then
  pkgs+=(dpkg-dev)
fi
if [ "${1:-run}" = deb-check ]; then
  pkgs=(debootstrap)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
