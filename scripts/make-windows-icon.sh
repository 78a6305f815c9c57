#!/usr/bin/env bash
# Makes the Windows program's icon (app/window_win32/dbrepair.ico) from its
# drawing, in the sizes Windows shows: run again after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/../app/window_win32"
convert -background none dbrepair.svg -define icon:auto-resize=48,32,16 dbrepair.ico
