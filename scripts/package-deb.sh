#!/usr/bin/env bash
# Builds the Debian package build/package/dbrepair_<version>_amd64.deb and
# checks it with lintian (which must find no errors). Prints the package's
# path last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target package_contents
rm -f build/package/dbrepair_*.deb
cpack --config build/CPackConfig.cmake -B build/package >/dev/null

debs=(build/package/dbrepair_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package-deb.sh: CPack made no single package" >&2; exit 1; }
lintian --fail-on error "${debs[0]}"
echo "${debs[0]}"
