#!/usr/bin/env bash
# Fuzzes one target for a while on a developer's machine: builds the project with clang 14 and
# libFuzzer into build-fuzz/ and runs the target on a copy of its corpus; new inputs that reach
# new code stay in build-fuzz/corpus/TARGET, crash inputs in build-fuzz/crashes/.
# Usage: fuzz/run.sh xls_reader|xlsx_reader|workbook_roundtrip|amount SECONDS [libFuzzer flags]
# (for example -fork=2 to use two cores).
set -euo pipefail
target=${1:?target}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" fuzz
build=$root/build-fuzz
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DTALLYFORM_FUZZ=ON -DTALLYFORM_TESTS=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target"
mkdir -p "$build/corpus/$target" "$build/crashes"
cp -n "$root/fuzz/corpus/$target/"* "$build/corpus/$target/" 2>/dev/null || true
# Scratch files in memory where possible; shorter allocation stacks and no fill of new blocks
# speed the writer targets, whose libraries allocate a lot, up by about half.
[ -d /dev/shm ] && export TMPDIR=/dev/shm
# libgsf and glib have no frame pointers: the .xls reader's leak suppressions need full stacks.
unwind=1
[ "$target" = xls_reader ] && unwind=0
ASAN_OPTIONS=max_malloc_fill_size=0:malloc_context_size=8:fast_unwind_on_malloc=$unwind \
LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp \
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$build/crashes/$target-" -print_final_stats=1 "$@" "$build/corpus/$target"
