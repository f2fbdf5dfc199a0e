#!/usr/bin/env bash
# Builds the Debian package of Tallyform in build-deb/ and prints its path.
# Install it with: sudo apt install ./build-deb/tallyform_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALLYFORM_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build-deb --target tallyform
(cd build-deb && cpack -G DEB >/dev/null)
ls -1 "$PWD"/build-deb/tallyform_*.deb
