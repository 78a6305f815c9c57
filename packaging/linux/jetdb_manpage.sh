#!/bin/sh
# jetdb_manpage.sh HELP2MAN JETDB OUT: writes jetdb's manual page to OUT from
# the program's own texts: help2man turns `jetdb --help` and `jetdb --version`
# into the page, and each subcommand's `jetdb NAME --help` becomes its part of
# the COMMANDS section. The subcommands are read from the "Subcommands:" list
# of `jetdb --help`, so a new one appears in the page without a change here.
#
# jetdb_manpage.sh --list JETDB prints those subcommands, one a line.
set -eu

subcommands() {
  "$1" --help | awk '/^[^ ].*:$/ { listing = (tolower($0) == "subcommands:"); next }
                     listing && NF { print $1 }'
}
if [ "$1" = --list ]; then
  subcommands "$2"
  exit
fi

help2man=$1
jetdb=$2
out=$3
include=$(mktemp)
trap 'rm -f "$include"' EXIT

commands=$(subcommands "$jetdb")
if [ -z "$commands" ]; then
  echo "$0: $jetdb --help lists no subcommands" >&2
  exit 1
fi

# Help texts go in as preformatted roff: backslashes and minus signs escaped,
# and a line starting with a dot or quote kept from reading as a request.
# jetdb is run by name, so that its usage lines name "jetdb", not the build's path.
{
  echo '[COMMANDS]'
  for command in $commands; do
    echo ".SS \"jetdb $command\""
    echo '.nf'
    PATH="$(dirname "$jetdb"):$PATH" jetdb "$command" --help | sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^[.']/\\\\\\&&/"
    echo '.fi'
  done
} >"$include"

"$help2man" --no-info --section=1 \
  --name="reads, checks, compacts and repairs Jet 3 and Jet 4 (.mdb) databases" \
  --include="$include" --output="$out" "$jetdb"
