#!/usr/bin/env bash
# Installs what is missing, builds Tallyform with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
# Every C++ file must be formatted with the project's .clang-format: the tracked ones in a
# git checkout, else every one outside the build folders.
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t sources < <(find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print)
fi
existing=()
for f in "${sources[@]}"; do [ -f "$f" ] && existing+=("$f"); done
if [ ${#existing[@]} -gt 0 ]; then
  clang-format --dry-run -Werror "${existing[@]}" || {
    echo "Not formatted with .clang-format (run clang-format -i on the files above)." >&2
    exit 1
  }
fi
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLYFORM_TESTS=ON -DTALLYFORM_WERROR=$werror
cmake --build build-test
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8
ctest --test-dir build-test --output-on-failure -j2
