#!/usr/bin/env bash
# Makes dist/dbrepair-windows-x64.zip: dbrepair.exe and jetdb.exe, built for
# 64-bit Windows 10 and 11 (scripts/windows-build.sh), and a short read-me.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=build/windows
scripts/windows-build.sh "$tree"

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
folder="$staging/dbrepair-windows-x64"
mkdir -p "$folder" dist
cp "$tree/dbrepair.exe" "$tree/jetdb.exe" "$folder/"
# The symbol tables only a debugger reads, which the static runtime makes
# large.
x86_64-w64-mingw32-strip "$folder/dbrepair.exe" "$folder/jetdb.exe"
cp packaging/windows/README.txt "$folder/README.txt"
# Windows' own editor shows line ends that are CR LF.
sed -i 's/$/\r/' "$folder/README.txt"
rm -f dist/dbrepair-windows-x64.zip
(cd "$staging" && zip -q -r -X "$OLDPWD/dist/dbrepair-windows-x64.zip" dbrepair-windows-x64)
echo "dist/dbrepair-windows-x64.zip"
