#!/usr/bin/env bash
# Runs a fuzz target for a few seconds from its seed corpus, as part of every
# test run. Exits 77 (reported by CTest as skipped) when the fuzzing tree has
# not been built. A crash, a leak, a timeout or an oversized allocation fails
# the run and leaves the input that caused it in ARTIFACTS.
#
# Usage: run_briefly.sh FUZZER SEEDS SECONDS ARTIFACTS [MAX_LEN]
# (MAX_LEN 0 or absent: libFuzzer's default, the largest seed's size)
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3 artifacts=$4 max_len=${5:-0}

if [[ ! -x $fuzzer ]]; then
  echo "fuzzer $fuzzer not built (test.sh builds it with clang): skipped"
  exit 77
fi

# New inputs go to a scratch folder, so the seed corpus stays as written.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"
status=0
# libFuzzer's own failure status is 77, which CTest would read as skipped.
"$fuzzer" -error_exitcode=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256 \
  -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds" || status=$?
if [[ $status -ne 0 ]]; then
  echo "fuzzing failed; replay the saved input with: $fuzzer $artifacts/<crash-file>"
fi
exit $status
