#!/usr/bin/env bash
# Installs a Tallyform package into a fresh Debian 12 root with apt and starts the program
# there once, headless. Needs root and the network.
# Usage: scripts/check_deb.sh PATH_TO_DEB [ROOT_DIR]
set -euo pipefail
deb=$(readlink -f "$1")
root=${2:-$(mktemp -d /var/tmp/tallyform-root.XXXXXX)}
cd "$(dirname "$0")/.."
bash scripts/deps.sh deb-check
[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root bash -euc '
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$1")" >/dev/null
  test -f /usr/share/applications/tallyform.desktop
  test -f /usr/share/icons/hicolor/scalable/apps/tallyform.svg
  test -f /usr/share/tallyform/help/index.html
  ! ldd /usr/bin/tallyform | grep "not found"
  mkdir -p /tmp/data
  # The program keeps running until its window is closed: still running after 5 s is a start.
  rc=0
  TALLYFORM_DATA_DIR=/tmp/data QT_QPA_PLATFORM=offscreen timeout 5 tallyform || rc=$?
  test "$rc" = 124
  test -f /tmp/data/Par.mdb
  echo "installed and started cleanly"
' bash "$deb"
