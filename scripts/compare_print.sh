#!/usr/bin/env bash
# Compares where two versions of Tallyform put every printed character. The program
# tests/print/print_positions.cpp prints a fixed set of vouchers to PDF through the main
# window; it is built from this checkout and from another revision (with this checkout's copy
# of that program), both sets are read back with `pdftotext -bbox`, and every word's text and
# box is compared.
#
#     bash scripts/compare_print.sh REVISION [WORK_FOLDER]
#
# A WORK_FOLDER below the checkout (build-compare, say) lets ccache reuse compiled objects.
# OWN_PROGRAM=1 keeps the revision's own copy of the printing program, for a revision whose
# window interface this checkout's copy no longer compiles against.
#
# Prints one line per PDF and the largest difference in millimetres; fails when a text differs
# or a box moved by 0.005 mm or more.
set -euo pipefail
cd "$(dirname "$0")/.."
revision=${1:?usage: compare_print.sh REVISION [WORK_FOLDER]}
work=${2:-$(mktemp -d)}
mkdir -p "$work"

build() {  # source folder, build folder
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLYFORM_TESTS=ON > /dev/null
  nice -n 19 cmake --build "$2" --target print_positions > /dev/null
}

# The other revision, with the printing program and its build line from this checkout.
rm -rf "$work/old-src"
mkdir -p "$work/old-src"
git archive "$revision" | tar -x -C "$work/old-src"
if [ "${OWN_PROGRAM:-0}" != 1 ] || [ ! -f "$work/old-src/tests/print/print_positions.cpp" ]; then
  cp tests/print/print_positions.cpp "$work/old-src/tests/print/"
fi
if ! grep -q print_positions "$work/old-src/tests/CMakeLists.txt"; then
  sed -n '/^# Prints a fixed set of vouchers/,/^target_link_libraries(print_positions/p' \
    tests/CMakeLists.txt >> "$work/old-src/tests/CMakeLists.txt"
fi
build "$work/old-src" "$work/old-build"
build . "$work/new-build"

rm -rf "$work/old-pdf" "$work/new-pdf"
# A fixed hash seed keeps the order of the fonts in the files, so equal pages make equal files.
QT_HASH_SEED=0 "$work/old-build/tests/print_positions" "$work/old-pdf"
QT_HASH_SEED=0 "$work/new-build/tests/print_positions" "$work/new-pdf"

python3 - "$work/old-pdf" "$work/new-pdf" << 'EOF'
import os, re, subprocess, sys

old_dir, new_dir = sys.argv[1], sys.argv[2]
word = re.compile(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>')
pt_to_mm = 25.4 / 72

def same_file(a, b):
    # Equal apart from the creation date and the document's identifier.
    strip = lambda p: re.sub(rb"(/CreationDate|/ID) *[^\n]*", b"", open(p, "rb").read())
    return strip(a) == strip(b)

def words(pdf):
    out = subprocess.run(["pdftotext", "-bbox", pdf, "-"], check=True, capture_output=True, text=True).stdout
    pages = out.split("<page ")[1:]
    return [[(m.group(5), [float(m.group(i)) for i in range(1, 5)]) for m in word.finditer(p)] for p in pages]

worst, failed = 0.0, False
for name in sorted(os.listdir(old_dir)):
    a, b = words(os.path.join(old_dir, name)), words(os.path.join(new_dir, name))
    count = sum(len(p) for p in a)
    if [len(p) for p in a] != [len(p) for p in b]:
        print(f"{name}: pages or word counts differ"); failed = True; continue
    diff = 0.0
    for pa, pb in zip(a, b):
        for (ta, ba), (tb, bb) in zip(pa, pb):
            if ta != tb:
                print(f"{name}: '{ta}' became '{tb}'"); failed = True
            diff = max(diff, max(abs(x - y) for x, y in zip(ba, bb)) * pt_to_mm)
    worst = max(worst, diff)
    same = "files equal" if same_file(os.path.join(old_dir, name), os.path.join(new_dir, name)) else "files differ"
    print(f"{name}: {len(a)} page(s), {count} words, largest difference {diff:.6f} mm, {same}")
print(f"largest difference over all: {worst:.6f} mm")
sys.exit(1 if failed or worst >= 0.005 else 0)
EOF
