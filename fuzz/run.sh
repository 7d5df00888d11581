#!/usr/bin/env bash
# Runs each fuzz target for SECONDS (default 5) from its committed seed
# corpus, into a scratch corpus so the seeds stay as committed. Exits non-zero
# on the first finding.
#   fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
fuzz/build.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
run() {
  local target=$1 seeds=$2
  mkdir -p "$scratch/$target"
  echo "== $target (${seconds}s)"
  "build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/$target-" "$scratch/$target" "fuzz/corpus/$seeds" 2>&1 |
    grep -E "^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==|SUMMARY|Done)" || true
  return "${PIPESTATUS[0]}"
}
run JsonReaderFuzzer json
run JsonRoundTripFuzzer json
run EncodingDecodeFuzzer decode
