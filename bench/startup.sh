#!/usr/bin/env bash
# Start-up figures of the application under one Xvfb server: the time from
# process start to the main screen's first paint (as the application itself
# reports it), median of N runs, beside the same for a bare GTK 4 window of
# the same size with six buttons (bench/StartupFloor.cpp), the two run in
# turn; and the resident memory two seconds after start. Builds the release
# application first. Prints figures; never fails on them.
#   bench/startup.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
build=build/run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBLORVIK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target blorvik blorvik-adnet >/dev/null
# shellcheck disable=SC2046
g++ -std=c++23 -O2 bench/StartupFloor.cpp -o "$build/startup_floor" $(pkg-config --cflags --libs gtk4)
export WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 GTK_A11Y=none NO_AT_BRIDGE=1

display=77
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
# The first ad comes from the sandbox ad network, on the build's port.
"$build/adnet/blorvik-adnet" --port 8642 >/dev/null 2>&1 &
adnet=$!
trap 'kill $xvfb $adnet 2>/dev/null' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
sleep 0.5
export DISPLAY=":$display"

times=()
content=()
floor=()
rss=()
for _ in $(seq "$runs"); do
  floor+=("$( ("$build/startup_floor" 2>/dev/null || true) | awk '/startup-ms/ {print $2}')")
  out=$(mktemp)
  "$build/app/blorvik" --startup-report --quit-after 2.5 >"$out" 2>/dev/null &
  pid=$!
  sleep 2
  rss+=("$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")")
  wait "$pid" || true
  times+=("$(awk '/startup-ms/ {print $2}' "$out")")
  content+=("$(awk '/content-ms/ {print $2}' "$out")")
  rm -f "$out"
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
echo "runs: $runs"
echo "startup to main screen (ms): ${times[*]}"
echo "median startup (ms): $(median "${times[@]}")"
echo "startup to the first ad shown (ms): ${content[*]}"
echo "median first ad (ms): $(median "${content[@]}")"
echo "bare GTK window, startup to first frame (ms): ${floor[*]}"
echo "median bare GTK window (ms): $(median "${floor[@]}")"
awk -v a="$(median "${times[@]}")" -v f="$(median "${floor[@]}")" 'BEGIN {printf "application / bare window: %.2f\n", a / f}'
echo "resident memory after start-up (KiB): ${rss[*]}"
echo "median resident memory (KiB): $(median "${rss[@]}")"
