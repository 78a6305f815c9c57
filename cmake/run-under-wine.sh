#!/usr/bin/env bash
# run-under-wine.sh PREFIX PROGRAM [ARGUMENTS...]: runs a cross-built Windows
# program under Wine in the Wine prefix PREFIX (created at the first run),
# quietly: no debug channels and no offer to install Wine's .NET and HTML
# components, which would wait for a click that never comes.
set -euo pipefail
wine=""
for candidate in wine64 /usr/lib/wine/wine64 wine; do
  if command -v "$candidate" >/dev/null 2>&1; then wine=$candidate; break; fi
done
[ -n "$wine" ] || { echo "run-under-wine: Wine is not installed" >&2; exit 127; }
export WINEPREFIX=$1
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The first program run in a new prefix creates it and says so on its output,
# and two tests starting together would both set about creating it: make it
# here, once, under a lock, quietly, so every test sees only its program.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || "$wine" cmd /c exit >/dev/null 2>&1 || true
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
