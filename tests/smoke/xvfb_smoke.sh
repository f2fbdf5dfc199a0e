#!/usr/bin/env bash
# Starts the real program on an X server of its own, clicks "退  出", answers No to the
# question about the default format, and checks that the program ended cleanly and kept the
# voucher text. Leaves a screenshot of the window beside the test's data.
# Usage: xvfb_smoke.sh PATH_TO_TALLYFORM WORK_DIR
set -euo pipefail
bin=$1
work=$2
rm -rf "$work" && mkdir -p "$work/data"
export TALLYFORM_DATA_DIR="$work/data" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL=C.UTF-8

xvfb-run -a -s "-screen 0 1280x800x24" bash -s "$bin" "$work" <<'INNER'
set -u
bin=$1
work=$2
"$bin" > "$work/program.log" 2>&1 &
pid=$!
# Prints the id of the first visible window whose name matches, waiting up to $2 tenths of a second.
find_window() {
  for _ in $(seq "$2"); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 0.1
  done
}
wid=$(find_window 'Tallyform2.11' 100)
if [ -z "$wid" ]; then echo "the main window did not appear"; kill "$pid"; exit 1; fi
sleep 1
import -window root "$work/main-window.png"
eval "$(xdotool getwindowgeometry --shell "$wid")"
# "退  出" stands at the right end of the top row, right-aligned with the voucher picture.
xdotool mousemove --window "$wid" $((WIDTH - 42)) 16 click 1
box=$(find_window '^Tallyform$' 50)
if [ -z "$box" ]; then echo "the question at exit did not appear"; kill "$pid"; exit 1; fi
sleep 0.3
# Escape answers No, as in any question box.
xdotool windowfocus --sync "$box" key Escape
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "the program did not end"; kill "$pid"; exit 1; fi
wait "$pid"
rc=$?
[ "$rc" -eq 0 ] || { echo "the program ended with $rc"; cat "$work/program.log"; exit 1; }
INNER

rows=$(python3 -c 'import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); print(c.execute("SELECT COUNT(*) FROM 记录 WHERE Dat=?", ("1973-08-18 00:00:00",)).fetchone()[0])' "$work/data/Par.mdb")
[ "$rows" = 32 ] || { echo "expected 32 kept voucher rows, found $rows"; exit 1; }

# Told to stop (as at log-out or shutdown), the program keeps the voucher text without asking.
rm -rf "$work/term" && mkdir -p "$work/term"
export TALLYFORM_DATA_DIR="$work/term"
xvfb-run -a -s "-screen 0 1280x800x24" bash -s "$bin" "$work" <<'INNER'
set -u
bin=$1
work=$2
"$bin" > "$work/program-term.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  [ -n "$(xdotool search --onlyvisible --name 'Tallyform2.11' 2>/dev/null)" ] && break
  sleep 0.1
done
sleep 0.5
kill -TERM "$pid"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "the program did not end on SIGTERM"; kill -9 "$pid"; exit 1; fi
wait "$pid"
rc=$?
[ "$rc" -eq 0 ] || { echo "the program ended with $rc on SIGTERM"; cat "$work/program-term.log"; exit 1; }
INNER
rows=$(python3 -c 'import sqlite3,sys; c=sqlite3.connect(sys.argv[1]); print(c.execute("SELECT COUNT(*) FROM 记录 WHERE Dat=?", ("1973-08-18 00:00:00",)).fetchone()[0])' "$work/term/Par.mdb")
[ "$rows" = 32 ] || { echo "expected 32 voucher rows kept on SIGTERM, found $rows"; exit 1; }
