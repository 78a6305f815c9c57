# Sourced by the end-to-end repairs of the real window (Qt or Windows): the
# run's work folder and its tidying up. start_run sets $work, clears the pids
# that cleanup ends ($app_pid, $xvfb_pid) and traps the exit; a caller may
# define stop_more, which cleanup runs before the work folder goes. fail
# keeps the work folder, with a screenshot where ImageMagick is installed.

cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if declare -F stop_more >/dev/null; then stop_more; fi
  if [ "${keep_work:-0}" = 1 ]; then echo "Left for inspection: $work"; else rm -rf "$work"; fi
}

fail() {
  echo "FAILED: $*"
  command -v import >/dev/null 2>&1 && DISPLAY=$display import -window root "$work/screen.png" 2>/dev/null &&
    echo "Screen at the failure: $work/screen.png"
  keep_work=1
  exit 1
}

start_run() {
  work=$(mktemp -d)
  xvfb_pid=""
  app_pid=""
  display=""
  trap cleanup EXIT
  # A timeout (CTest sends TERM) must not leave Xvfb or the program behind.
  trap "exit 1" TERM INT
}
