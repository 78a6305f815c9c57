#!/usr/bin/env bash
# End-to-end run of the real window under Xvfb: a product database stands at
# its default place in a fake Wine prefix; the user clicks Repair, confirms
# the completion box and clicks Cancel. Afterwards the data file must still
# be a database with the same tables and rows, its safety backup kvdir.1 an
# exact copy of the file as it was, and no temp.mdb left behind.
#
# Usage: repair_under_xvfb.sh DBREPAIR SAMPLE.mdb
# Exits 77 (skipped) when Xvfb, xdotool, mdbtools or the sample are absent.
set -euo pipefail

dbrepair=$1
sample=$2
skip() { echo "SKIPPED: $*"; exit 77; }
source "$(dirname "$0")/repaired_checks.sh"

for tool in Xvfb xdotool mdb-tables mdb-export cmp; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -f "$sample" ] || skip "sample database $sample is absent (no corpus)"
[ -x "$dbrepair" ] || { echo "FAILED: $dbrepair is not built"; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if [ "${keep_work:-0}" = 1 ]; then echo "Left for inspection: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
# A timeout (CTest sends TERM) must not leave Xvfb or the program behind.
trap "exit 1" TERM INT
fail() {
  echo "FAILED: $*"
  command -v import >/dev/null 2>&1 && DISPLAY=$display import -window root "$work/screen.png" 2>/dev/null &&
    echo "Screen at the failure: $work/screen.png"
  keep_work=1
  exit 1
}

# A fake home and Wine prefix holding the product database at its default
# place under the user's documents.
user=e2euser
data="$work/prefix/drive_c/users/$user/Documents/kelvara directory/data"
mkdir -p "$work/home" "$data"
cp "$sample" "$data/kvdir.mdb"

# A display of our own; Xvfb tells which number it took.
display=""
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=":$(head -n1 "$work/display")"
export DISPLAY=$display

env -u QT_QPA_PLATFORM HOME="$work/home" WINEPREFIX="$work/prefix" USER="$user" \
  XDG_CONFIG_HOME="$work/home/.config" "$dbrepair" >"$work/dbrepair.log" 2>&1 &
app_pid=$!

# Waits up to $1 seconds for a visible window titled exactly $2; prints its id.
window_titled() {
  local deadline=$((SECONDS + $1)) id
  while [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -n1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    kill -0 "$app_pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# Presses a key in the window $1 (Xvfb has no window manager: focus it first).
press() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.2
  xdotool key --clearmodifiers "$2"
}

main=$(window_titled 20 "Database Repair Utility") || fail "the main window did not appear: $(cat "$work/dbrepair.log")"
# One product database found: no notice, the window shows it.
for notice in "No Files Found" "Multiple Files Found"; do
  xdotool search --onlyvisible --name "^$notice\$" >/dev/null 2>&1 && fail "unexpected notice \"$notice\""
done

# Repair is 5280,960 twips from the client's corner, 1095 x 375: its centre
# in pixels at 96 dpi.
sleep 0.5
xdotool mousemove --window "$main" 388 76 click 1

# Repairing takes a moment; an error report means the repair failed.
deadline=$((SECONDS + 120))
done_box=""
while [ $SECONDS -lt $deadline ]; do
  done_box=$(xdotool search --onlyvisible --name "^Operation Completed\$" 2>/dev/null | head -n1 || true)
  [ -n "$done_box" ] && break
  xdotool search --onlyvisible --name "^Error Handler\$" >/dev/null 2>&1 && fail "an error report came instead of the completion box"
  xdotool search --onlyvisible --name "^Backup Error\$" >/dev/null 2>&1 && fail "the safety backup was refused"
  xdotool search --onlyvisible --name "^Error\$" >/dev/null 2>&1 && fail "the data file was not found"
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended during the repair: $(cat "$work/dbrepair.log")"
  sleep 0.3
done
[ -n "$done_box" ] || fail "no \"Operation Completed\" box within 120 seconds"
press "$done_box" Return
sleep 0.5
xdotool search --onlyvisible --name "^Operation Completed\$" >/dev/null 2>&1 && fail "the completion box did not close"

# Cancel (10080,960 twips) ends the program without a question.
xdotool mousemove --window "$main" 708 76 click 1
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$app_pid" 2>/dev/null && fail "Cancel did not end the program"
wait "$app_pid" || fail "the program exited with status $?"
app_pid=""

# What is on disk.
check_repaired "$sample" "$data" kvdir

echo "PASSED: repaired $(basename "$sample") as kvdir.mdb, safety backup kvdir.1 kept"
