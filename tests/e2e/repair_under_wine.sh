#!/usr/bin/env bash
# End-to-end run of the Windows program, dbrepair.exe, under Wine and Xvfb:
# a product database stands at its default place in a fresh Wine prefix (the
# user's Documents or Program Files); the program finds it at start-up, the
# user clicks Repair, confirms the completion box and clicks Cancel.
# Afterwards the data file must still be a database with the same tables and
# rows, its safety backup an exact copy of the file as it was, and no
# temp.mdb left behind.
#
# Usage: repair_under_wine.sh DBREPAIR.EXE SAMPLE.mdb documents|program-files
# Exits 77 (skipped) when Wine, Xvfb, xdotool, mdbtools or the sample are
# absent.
set -euo pipefail
. "$(dirname "$0")/xvfb.sh"
. "$(dirname "$0")/window_run.sh"

dbrepair=$1
sample=$2
place=$3
skip() { echo "SKIPPED: $*"; exit 77; }
source "$(dirname "$0")/repaired_checks.sh"

wine=""
for candidate in wine64 /usr/lib/wine/wine64; do
  command -v "$candidate" >/dev/null 2>&1 && { wine=$candidate; break; }
done
[ -n "$wine" ] || skip "Wine (wine64) is not installed"
for tool in Xvfb xdotool xwininfo mdb-tables mdb-export cmp; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -f "$sample" ] || skip "sample database $sample is absent (no corpus)"
[ -f "$dbrepair" ] || { echo "FAILED: $dbrepair is not built"; exit 1; }

stop_more() { WINEPREFIX="$work/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
start_run

start_xvfb

# A fresh prefix of our own, with a home of our own, so that the user's
# Documents are a folder inside it.
export HOME="$work/home" WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
"$wine" wineboot --init >"$work/wineboot.log" 2>&1 || fail "the Wine prefix could not be made"
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n1)
case $place in
  documents) data="$WINEPREFIX/drive_c/users/$user/Documents/kelvara directory/data"; name=kvdir ;;
  program-files) data="$WINEPREFIX/drive_c/Program Files/Corvane Software/kelvara scorebook/data"; name=kvsbk ;;
  *) echo "FAILED: no place $place"; exit 1 ;;
esac
mkdir -p "$data"
cp "$sample" "$data/$name.mdb"
chmod u+w "$data/$name.mdb"  # the samples are read-only, which Repair respects

cp "$dbrepair" "$work/dbrepair.exe"
"$wine" "$work/dbrepair.exe" >"$work/dbrepair.log" 2>&1 &
app_pid=$!

# Answers the message box $1 with its default button: Return once it has the
# keyboard, else a click on the button, which Wine centres at the box's foot.
answer() {
  local geometry width height
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.5
  xdotool key --clearmodifiers Return
  sleep 1
  xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1 || return 0
  geometry=$(xwininfo -id "$1")
  width=$(sed -n 's/^ *Width: //p' <<<"$geometry")
  height=$(sed -n 's/^ *Height: //p' <<<"$geometry")
  xdotool mousemove --window "$1" $((width / 2)) $((height - 17)) click 1
}

# Clicks the point $2,$3 twips from the corner of the main window's client
# area. Wine draws the frame inside the X window when no window manager
# does: the client area is what is left of it below the caption.
click_twips() {
  local geometry width height border top
  geometry=$(xwininfo -id "$1")
  width=$(sed -n 's/^ *Width: //p' <<<"$geometry")
  height=$(sed -n 's/^ *Height: //p' <<<"$geometry")
  border=$(( (width - 11490 / 15) / 2 ))
  top=$(( height - 1605 / 15 - border ))
  xdotool mousemove --window "$1" $((border + $2 / 15)) $((top + $3 / 15)) click 1
}

main=$(window_titled 60 "Database Repair Utility") || fail "the main window did not appear: $(cat "$work/dbrepair.log")"
for notice in "No Files Found" "Multiple Files Found"; do
  xdotool search --onlyvisible --name "^$notice\$" >/dev/null 2>&1 && fail "unexpected notice \"$notice\""
done
sleep 1
[ -n "${DBREPAIR_SCREENSHOT:-}" ] && import -window root "$DBREPAIR_SCREENSHOT"

# Repair: 5280,960 twips, 1095 x 375; its centre.
click_twips "$main" $((5280 + 1095 / 2)) $((960 + 375 / 2))

deadline=$((SECONDS + 180))
done_box=""
while [ $SECONDS -lt $deadline ]; do
  done_box=$(xdotool search --onlyvisible --name "^Operation Completed\$" 2>/dev/null | head -n1 || true)
  [ -n "$done_box" ] && break
  for box in "Error Handler" "Backup Error" "Error"; do
    xdotool search --onlyvisible --name "^$box\$" >/dev/null 2>&1 && fail "a \"$box\" box came instead of the completion box"
  done
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended during the repair: $(cat "$work/dbrepair.log")"
  sleep 0.5
done
[ -n "$done_box" ] || fail "no \"Operation Completed\" box within 180 seconds"
answer "$done_box" "Operation Completed"
sleep 1
xdotool search --onlyvisible --name "^Operation Completed\$" >/dev/null 2>&1 && fail "the completion box did not close"

# Cancel (10080,960 twips) ends the program without a question.
click_twips "$main" $((10080 + 1095 / 2)) $((960 + 375 / 2))
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$app_pid" 2>/dev/null && fail "Cancel did not end the program"
wait "$app_pid" || fail "the program exited with status $?"
app_pid=""

check_repaired "$sample" "$data" "$name"
echo "PASSED: $sample repaired at its place in $place"
