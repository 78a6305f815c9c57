#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through
# CTest: the engine's tests plain and under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short fuzzing run, the utility's tests and the
# end-to-end run of the real window; then the Windows programs, cross-built,
# with the engine's and the utility's tests and the end-to-end run of the
# real dbrepair.exe under Wine.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs=$(nproc)

# The fuzz targets need clang; they get a tree of their own with the engine only.
if command -v clang++ >/dev/null 2>&1; then
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DDBREPAIR_ENGINE_ONLY=ON -DDBREPAIR_FUZZ=ON >/dev/null
  cmake --build build/fuzz -j "$jobs" --target fuzz_targets
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# The Windows programs: one release tree without sanitizers, cross-built with
# mingw-w64, and its tests under Wine. Skipped, saying so, where the cross
# compiler or Wine could not be installed.
status=0
scripts/windows-build.sh build/windows || status=$?
if [ "$status" -eq 77 ]; then
  echo "Windows build and tests skipped."
elif [ "$status" -ne 0 ]; then
  exit "$status"
elif ! command -v wine64 >/dev/null 2>&1 && [ ! -x /usr/lib/wine/wine64 ]; then
  echo "Windows tests skipped: Wine (wine64) is not installed."
else
  ctest --test-dir build/windows --output-on-failure -j "$jobs"
fi
