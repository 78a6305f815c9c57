#!/usr/bin/env bash
# Installs what is missing, builds the utility and starts its window.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target dbrepair jetdb
exec build/dbrepair
