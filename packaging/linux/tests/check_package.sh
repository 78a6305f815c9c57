#!/usr/bin/env bash
# Checks of the Debian package, one CTest test each (packaging/linux/CMakeLists.txt):
#
#   check_package.sh build DIR CPACK_CONFIG   makes the package in DIR with CPack
#                                            and unpacks it into DIR/root
#   check_package.sh CHECK DIR VERSION        one check of the package in DIR
#
# Exits 77 (skipped), saying why, where a tool a check needs is absent or the
# package could not be made.
set -euo pipefail

check=$1
dir=$2
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0
need() { for tool; do command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"; done; }

if [ "$check" = build ]; then
  need cpack dpkg-deb dpkg-shlibdeps
  rm -rf "$dir"
  mkdir -p "$dir"
  cpack --config "$3" -B "$dir" >"$dir/cpack.log" 2>&1 || { cat "$dir/cpack.log"; exit 1; }
  dpkg-deb -x "$dir"/*.deb "$dir/root"
  dpkg-deb -e "$dir"/*.deb "$dir/control"
  echo "Made $(basename "$dir"/*.deb)"
  exit 0
fi

version=$3
deb=$(ls "$dir"/dbrepair_*.deb 2>/dev/null | head -n1) || true
[ -n "$deb" ] && [ -d "$dir/root" ] || skip "no package was made (see the test package.build)"
root=$dir/root
field() { sed -n "s/^$1: //p" "$dir/control/control"; }

case $check in
contents)
  # Every file the package holds, with its mode: nothing missing, nothing more.
  expected="\
usr/bin/dbrepair 755
usr/bin/jetdb 755
usr/share/applications/com.corvane.dbrepair.desktop 644
usr/share/doc/dbrepair/changelog.gz 644
usr/share/doc/dbrepair/copyright 644
usr/share/icons/hicolor/48x48/apps/dbrepair.png 644
usr/share/icons/hicolor/scalable/apps/dbrepair.svg 644
usr/share/man/man1/dbrepair.1.gz 644
usr/share/man/man1/jetdb.1.gz 644
usr/share/metainfo/com.corvane.dbrepair.metainfo.xml 644"
  actual=$(cd "$root" && find . -type f -printf '%P %m\n' | sort)
  [ "$actual" = "$expected" ] || fail "files differ from those expected:
$(diff <(echo "$expected") <(echo "$actual") || true)"
  # The PNG's header: width and height, 4 bytes each from byte 16.
  png=$root/usr/share/icons/hicolor/48x48/apps/dbrepair.png
  if [ -f "$png" ]; then
    size=$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //')
    [ "$size" = "0 0 0 48 0 0 0 48" ] || fail "the 48 px icon is not 48 x 48 (header bytes $size)"
  fi
  ;;
control)
  [ "$(basename "$deb")" = "dbrepair_${version}_amd64.deb" ] || fail "package file $(basename "$deb")"
  [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
  [ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
  # Computed from the programs' libraries, so each comes with the version
  # the build was linked against.
  depends=$(field Depends)
  for library in libqt6core6 libqt6gui6 libqt6widgets6 libstdc++6 libc6; do
    [[ ", $depends," == *", $library (>= "* ]] || fail "Depends lacks $library (>= ...): $depends"
  done
  ;;
manpage)
  page=$root/usr/share/man/man1/jetdb.1.gz
  [ -f "$page" ] || { echo "FAILED: no manual page"; exit 1; }
  jetdb=$root/usr/bin/jetdb
  [ "$("$jetdb" --version)" = "jetdb $version" ] || fail "jetdb --version: $("$jetdb" --version)"
  zcat "$page" | grep -q "^\.TH JETDB \"1\" \"[^\"]*\" \"jetdb $version\"" ||
    fail "the page's title line does not name jetdb $version: $(zcat "$page" | grep '^\.TH')"
  # Every subcommand the packaged program lists has its part of the page.
  commands=$("$(dirname "$0")/../jetdb_manpage.sh" --list "$jetdb")
  [ -n "$commands" ] || fail "jetdb --help lists no subcommands"
  for command in $commands; do
    zcat "$page" | grep -qx "\.SS \"jetdb $command\"" || fail "no part for jetdb $command"
  done
  if command -v man >/dev/null 2>&1; then
    for page in "$page" "$root"/usr/share/man/man1/dbrepair.1.gz; do
      warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
      [ -z "$warnings" ] || fail "man warns about $(basename "$page"): $warnings"
    done
  fi
  ;;
menu_entry)
  entry=$root/usr/share/applications/com.corvane.dbrepair.desktop
  [ -f "$entry" ] || { echo "FAILED: no menu entry"; exit 1; }
  value() { sed -n "s/^$1=//p" "$entry"; }
  [ "$(value Name)" = "Database Repair Utility" ] || fail "Name=$(value Name)"
  [ "$(value Categories)" = "Utility;Database;" ] || fail "Categories=$(value Categories)"
  # Exec names an installed program and passes nothing: the window takes no arguments.
  [ "$(value Exec)" = dbrepair ] || fail "Exec=$(value Exec)"
  [ -x "$root/usr/bin/$(value Exec)" ] || fail "Exec=$(value Exec) is not installed in /usr/bin"
  for icon in scalable/apps/"$(value Icon)".svg 48x48/apps/"$(value Icon)".png; do
    [ -f "$root/usr/share/icons/hicolor/$icon" ] || fail "Icon=$(value Icon): no hicolor/$icon"
  done
  need desktop-file-validate
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
  ;;
metainfo)
  metainfo=$root/usr/share/metainfo/com.corvane.dbrepair.metainfo.xml
  [ -f "$metainfo" ] || { echo "FAILED: no AppStream metadata"; exit 1; }
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
  [ -f "$root/usr/share/applications/$launchable" ] || fail "launchable $launchable is not installed"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version"
  grep -q '<screenshot type="default">' "$metainfo" || fail "no default screenshot"
  need appstreamcli
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metadata"
  ;;
lintian)
  need lintian
  lintian --fail-on error "$deb" || fail "lintian finds errors"
  ;;
*)
  echo "check_package.sh: no check $check" >&2
  exit 2
  ;;
esac
[ $failed -eq 0 ] && echo "PASSED: $check"
exit $failed
