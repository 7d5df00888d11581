#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them. Figures only.
#   bench/run.sh [benchmark filter]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DBLORVIK_BENCH=ON -DBLORVIK_TESTS=OFF >/dev/null
cmake --build build/bench -j"$(nproc)"
for b in build/bench/bench/*_bench; do
  "$b" --benchmark_filter="${1:-.}"
done
