#!/usr/bin/env bash
# End-to-end run of the real window under Xvfb: a product database stands at
# its default place in a fake Wine prefix; the user clicks Repair, confirms
# the completion box and clicks Cancel. Afterwards the data file must still
# be a database with the same tables and rows, its safety backup kvdir.1 an
# exact copy of the file as it was, and no temp.mdb left behind.
#
# Usage: repair_under_xvfb.sh DBREPAIR SAMPLE.mdb [JETDB]
# With JETDB, the repaired file must also check clean (`jetdb check` exit 0).
# Exits 77 (skipped) when Xvfb, xdotool, mdbtools or the sample are absent.
set -euo pipefail
. "$(dirname "$0")/xvfb.sh"
. "$(dirname "$0")/window_run.sh"

dbrepair=$1
sample=$2
jetdb=${3:-}
skip() { echo "SKIPPED: $*"; exit 77; }
source "$(dirname "$0")/repaired_checks.sh"

for tool in Xvfb xdotool mdb-tables mdb-export cmp; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -f "$sample" ] || skip "sample database $sample is absent (no corpus)"
[ -x "$dbrepair" ] || { echo "FAILED: $dbrepair is not built"; exit 1; }

start_run

# A fake home and Wine prefix holding the product database at its default
# place under the user's documents.
user=e2euser
data="$work/prefix/drive_c/users/$user/Documents/kelvara directory/data"
mkdir -p "$work/home" "$data"
cp "$sample" "$data/kvdir.mdb"
chmod u+w "$data/kvdir.mdb"  # the samples are read-only, which Repair respects

start_xvfb

env -u QT_QPA_PLATFORM HOME="$work/home" WINEPREFIX="$work/prefix" USER="$user" \
  XDG_CONFIG_HOME="$work/home/.config" "$dbrepair" >"$work/dbrepair.log" 2>&1 &
app_pid=$!

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

click_cancel_and_wait "$main"

# What is on disk.
check_repaired "$sample" "$data" kvdir "$jetdb"

echo "PASSED: repaired $(basename "$sample") as kvdir.mdb, safety backup kvdir.1 kept"
