#!/usr/bin/env bash
# Installs what building, running and testing need on a Debian machine:
# Debian packages through apt-get (with sudo when not root) and the npm
# reader used as a test oracle, into the tree. Quiet when all is present.
#
# scripts/setup.sh --package adds what installing the Debian package into a
# clean root needs (scripts/check-deb-in-chroot.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build g++ clang libclang-rt-14-dev ccache
          qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
          nlohmann-json3-dev libcli11-dev mdbtools nodejs
          xvfb xauth xdotool imagemagick
          help2man librsvg2-bin desktop-file-utils appstream dpkg-dev file lintian)
command -v npm >/dev/null 2>&1 || packages+=(npm)
# A Windows program holding a database open under Wine, as a product does,
# for the tests of what the utility must leave alone.
packages+=(g++-mingw-w64-x86-64-posix wine64)
if [ "${1:-}" = --package ]; then
  packages+=(debootstrap)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=false
install() {
  $updated || { $sudo apt-get update -qq; updated=true; }
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  install "${missing[@]}"
fi

# What the Windows programs' build needs beyond the cross compiler and Wine
# above: GoogleTest's sources, built with the cross compiler, zip for the
# package and xwininfo (x11-utils), with which the end-to-end run under Wine
# finds where to click. Where they cannot be installed, the build goes on
# without the Windows part (test.sh says so).
windows_packages=(googletest zip x11-utils)
windows_missing=()
for p in "${windows_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || windows_missing+=("$p")
done
if [ ${#windows_missing[@]} -gt 0 ]; then
  echo "Installing for the Windows build: ${windows_missing[*]}"
  install "${windows_missing[@]}" || echo "The Windows build's packages could not be installed." >&2
fi

# mdb-reader, the second independent reader the engine's tests compare with.
if [ ! -d tests/oracle/node_modules/mdb-reader ]; then
  (cd tests/oracle && npm install --no-audit --no-fund --silent >/dev/null)
fi
