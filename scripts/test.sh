#!/usr/bin/env bash
# Installs what is missing, builds Tallyform with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLYFORM_TESTS=ON -DTALLYFORM_WERROR=$werror
cmake --build build-test
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8
ctest --test-dir build-test --output-on-failure -j2
