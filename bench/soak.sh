#!/usr/bin/env bash
# The soak (bench/SoakBench.cpp) under AddressSanitizer and
# UndefinedBehaviorSanitizer: 1,000 refreshes unless told, with faults
# injected at random. Prints figures; exits non-zero when an attempt ended
# without an outcome or with two. Not part of ./test.
#   bench/soak.sh [attempts]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps
cmake -S . -B build/soak -DCMAKE_BUILD_TYPE=Debug -DBLORVIK_SANITIZE=ON -DBLORVIK_BENCH=ON -DBLORVIK_TESTS=OFF >/dev/null
cmake --build build/soak -j"$(nproc)" --target soak_bench
if [ "$(id -u)" = 0 ]; then export WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1; fi
export GTK_A11Y=none NO_AT_BRIDGE=1
export ASAN_OPTIONS="detect_leaks=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/tests/ubsan.supp"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" XDG_DATA_HOME="$scratch/data"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  xvfb-run -a build/soak/bench/soak_bench "${1:-1000}"
else
  build/soak/bench/soak_bench "${1:-1000}"
fi
