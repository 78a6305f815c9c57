#!/usr/bin/env bash
# Times our reading of a database against mdbtools' in one run and prints the
# ratio: `jetdb check` and `jetdb dump` (every user table) against
# `mdb-export` of every user table, each the best of several repetitions so
# that a busy machine disturbs the comparison less.
#
# Usage: bench/read_vs_mdbexport.sh [FILE] [REPETITIONS]
#   FILE defaults to the largest sample database, jet4/v2003-test.mdb;
#   JETDB names the tool (default build/jetdb).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
file=${1:-$here/../shared/corpus/jet4/v2003-test.mdb}
repetitions=${2:-5}
jetdb=${JETDB:-$here/build/jetdb}

for tool in "$jetdb" mdb-export mdb-tables; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
[[ -r $file ]] || { echo "cannot read $file" >&2; exit 2; }

mapfile -t tables < <(mdb-tables -1 "$file")

# Runs "$@" REPETITIONS times with output discarded and prints the fastest
# wall-clock time in seconds.
best_of() {
  local best="" start end
  for ((i = 0; i < repetitions; i++)); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    best=$(awk -v s="$start" -v e="$end" -v b="$best" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
  done
  printf '%.4f' "$best"
}

export_all() {
  for table in "${tables[@]}"; do mdb-export "$file" "$table"; done
}

# check must succeed on the sample: a failing tool would look fast.
if ! "$jetdb" check "$file" >/dev/null; then
  echo "jetdb check does not pass on $file; timing anyway" >&2
fi

check=$(best_of "$jetdb" check "$file")
dump=$(best_of "$jetdb" dump "$file")
export=$(best_of export_all)

echo "file:        $file (${#tables[@]} tables, best of $repetitions)"
echo "jetdb check: ${check} s"
echo "jetdb dump:  ${dump} s"
echo "mdb-export:  ${export} s"
awk -v e="$export" -v c="$check" -v d="$dump" 'BEGIN {
  printf "ratio mdb-export / jetdb check: %.2f (above 1: ours is faster)\n", e / c
  printf "ratio mdb-export / jetdb dump:  %.2f\n", e / d
}'
