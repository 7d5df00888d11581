#!/usr/bin/env bash
# Runs each fuzz target for SECONDS (default 5) from its committed seed
# corpus, into a scratch corpus so the seeds stay as committed. Runs every
# target, ends with a line counting them, and exits non-zero if any found
# something.
#   fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
fuzz/build.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0 failed=0
run() {
  local target=$1 seeds=$2
  mkdir -p "$scratch/$target"
  echo "== $target (${seconds}s)"
  local status=0
  "build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build/fuzz/$target-" "$scratch/$target" "fuzz/corpus/$seeds" >"$scratch/$target.log" 2>&1 ||
    status=$?
  grep -E "^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==|SUMMARY|Done|artifact_prefix)" \
    "$scratch/$target.log" || true
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "$target found an input that fails (saved under build/fuzz/$target-*)"
  fi
}
run JsonReaderFuzzer json
run JsonRoundTripFuzzer json
run EncodingDecodeFuzzer decode
run MessageURLFuzzer message
run HTTPHeaderParserFuzzer header
run ContentDecoderFuzzer content
run HTTPDateFuzzer date
run RedirectTargetFuzzer redirect
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
