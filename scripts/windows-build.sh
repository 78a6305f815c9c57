#!/usr/bin/env bash
# windows-build.sh [BUILD_DIR]: cross-builds the Windows programs,
# dbrepair.exe and jetdb.exe, with mingw-w64 into BUILD_DIR (build/windows),
# one release tree without sanitizers, and checks that each needs nothing
# beside it but Windows' own libraries. Exits 77 when the cross compiler is
# not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-build/windows}
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
  echo "No Windows build: the mingw-w64 cross compiler (g++-mingw-w64-x86-64-posix) is not installed."
  exit 77
fi
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$tree" -j "$(nproc)"

# Statically linked: every DLL a program imports must come with Windows.
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|ole32|oleaut32|shlwapi|ws2_32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
for program in "$tree/dbrepair.exe" "$tree/jetdb.exe"; do
  foreign=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
            grep -Ev "$system_dlls" || true)
  if [ -n "$foreign" ]; then
    echo "$program needs DLLs that Windows does not bring: $foreign" >&2
    exit 1
  fi
done
