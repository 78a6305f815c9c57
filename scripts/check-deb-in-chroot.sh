#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 root and starts the
# program from its menu entry there, as a user's desktop would: the entry's
# Exec line runs in the root, under Xvfb, and the window must appear. Too
# slow for every test run (the first run fetches a whole base system); run it
# by hand after scripts/package-deb.sh.
#
# Usage: scripts/check-deb-in-chroot.sh DEB [OUT]
#   OUT (default build/package/chroot-check) receives the screenshots and
#   logs. Needs root. The base system is made once with debootstrap and kept
#   in /var/tmp/dbrepair-bookworm-base (set DBREPAIR_CHROOT_BASE to move it);
#   every run installs into a fresh copy of it, removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
. tests/e2e/xvfb.sh

deb=$(realpath "$1")
out=$(realpath -m "${2:-build/package/chroot-check}")
base=${DBREPAIR_CHROOT_BASE:-/var/tmp/dbrepair-bookworm-base}
[ "$(id -u)" -eq 0 ] || { echo "check-deb-in-chroot.sh: needs root (chroot, mounts)" >&2; exit 2; }
[ -f "$deb" ] || { echo "check-deb-in-chroot.sh: no package $deb" >&2; exit 2; }
scripts/setup.sh --package

mkdir -p "$out"
work=$(mktemp -d /var/tmp/dbrepair-chroot.XXXXXX)
root="$work/root"
mounts=()
xvfb_pid=""
app_pid=""
display=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap "exit 1" TERM INT
fail() {
  echo "FAILED: $*"
  [ -n "$display" ] && import -window root "$out/failure.png" 2>/dev/null && echo "Screen at the failure: $out/failure.png"
  exit 1
}
# Runs a command inside the root with a plain environment.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"
}
mount_in_root() {  # mount_in_root TARGET MOUNT-ARGUMENTS...
  mkdir -p "$root$1"
  mount "${@:2}" "$root$1"
  mounts+=("$root$1")
}

if [ ! -f "$base/etc/debian_version" ]; then
  echo "Making a Debian 12 base system in $base (once)..."
  rm -rf "$base"
  debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >"$out/debootstrap.log" 2>&1 ||
    fail "debootstrap failed, see $out/debootstrap.log"
fi
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in_root /proc -t proc proc
mount_in_root /sys -t sysfs sys
mount_in_root /dev --bind /dev
mount_in_root /dev/pts --bind /dev/pts

# The install, as a user would run it: apt resolves what the package depends on.
cp "$deb" "$root/tmp/"
in_root apt-get update -q >"$out/apt.log" 2>&1 || fail "apt-get update failed, see $out/apt.log"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "/tmp/$(basename "$deb")" >>"$out/apt.log" 2>&1 ||
  fail "apt-get install failed, see $out/apt.log"
echo "Installed: $(grep -c '^Setting up' "$out/apt.log") packages set up, see $out/apt.log"
echo "jetdb in the root: $(in_root jetdb --version)"

# The menu entry as installed, and the command its Exec line names.
entry=$(grep -l '^Name=Database Repair Utility$' "$root"/usr/share/applications/*.desktop) ||
  fail "no menu entry named Database Repair Utility"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
echo "Menu entry $(basename "$entry"): Exec=$exec_line"

# The display lives outside the root; its socket is shown inside.
start_xvfb
mount_in_root /tmp/.X11-unix --bind /tmp/.X11-unix
# The Exec line is split as the desktop does (no field codes in ours).
read -r -a exec_words <<<"$exec_line"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" \
  "${exec_words[@]}" >"$out/dbrepair.log" 2>&1 &
app_pid=$!

# A clean root holds no Wine prefix: the notice that nothing was found comes
# first, then the window.
notice=$(window_titled 30 "No Files Found") || fail "no \"No Files Found\" notice: $(cat "$out/dbrepair.log")"
sleep 0.5
import -window root "$out/notice.png"
press "$notice" Return
main=$(window_titled 20 "Database Repair Utility") || fail "the window did not appear: $(cat "$out/dbrepair.log")"
sleep 1
import -window root "$out/window.png"
echo "The window appeared: $out/notice.png, $out/window.png"
click_cancel_and_wait "$main"
echo "PASSED: installed $(basename "$deb") into a clean Debian 12 root and started it from its menu entry"
