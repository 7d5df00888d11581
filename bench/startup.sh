#!/usr/bin/env bash
# Start-up figures of the application under one Xvfb server: the time from
# process start to the main screen's first paint (as the application itself
# reports it), median of N runs, and the resident memory two seconds after
# start. Builds the release application first. Prints figures; never fails
# on them.
#   bench/startup.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
build=build/run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBLORVIK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target blorvik >/dev/null
export WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 GTK_A11Y=none NO_AT_BRIDGE=1

Xvfb :77 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
export DISPLAY=:77

times=()
rss=()
for _ in $(seq "$runs"); do
  out=$(mktemp)
  "$build/app/blorvik" --startup-report --quit-after 2.5 >"$out" 2>/dev/null &
  pid=$!
  sleep 2
  rss+=("$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")")
  wait "$pid" || true
  times+=("$(awk '/startup-ms/ {print $2}' "$out")")
  rm -f "$out"
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
echo "runs: $runs"
echo "startup to main screen (ms): ${times[*]}"
echo "median startup (ms): $(median "${times[@]}")"
echo "resident memory after start-up (KiB): ${rss[*]}"
echo "median resident memory (KiB): $(median "${rss[@]}")"
