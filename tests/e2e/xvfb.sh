# Sourced by the scripts that drive the real window under Xvfb. Needs $work
# (a folder of the caller's) and a fail function; uses $app_pid, the program
# under test, to stop waiting once it has ended.

# Starts a display of our own (Xvfb tells which number it took): sets
# xvfb_pid and display, and exports DISPLAY.
start_xvfb() {
  display=""
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  display=":$(head -n1 "$work/display")"
  export DISPLAY=$display
}

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

# Clicks Cancel, which ends the program without a question (10080,960 twips
# from the client's corner, 1095 x 375: its centre in pixels at 96 dpi), and
# waits for the program to end with status 0.
click_cancel_and_wait() {
  xdotool mousemove --window "$1" 708 76 click 1
  for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$app_pid" 2>/dev/null && fail "Cancel did not end the program"
  wait "$app_pid" || fail "the program exited with status $?"
  app_pid=""
}
