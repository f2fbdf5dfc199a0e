#!/usr/bin/env bash
# Installs what is missing, builds Tallyform and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYFORM_TESTS=OFF
cmake --build build --target tallyform
exec ./build/tallyform "$@"
