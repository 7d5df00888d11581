#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them. Figures only.
#   bench/run.sh [benchmark filter]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DBLORVIK_BENCH=ON -DBLORVIK_TESTS=OFF >/dev/null
cmake --build build/bench -j"$(nproc)"
# WebKit's sandbox cannot start as root inside containers.
if [ "$(id -u)" = 0 ]; then export WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1; fi
export GTK_A11Y=none NO_AT_BRIDGE=1
# The benchmarks' settings and caches are their own, never the user's.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" XDG_DATA_HOME="$scratch/data"
for b in build/bench/bench/*_bench; do
  name=$(basename "$b")
  # The soak has a script of its own (bench/soak.sh), with the sanitizers.
  [ "$name" = soak_bench ] && continue
  if [ "$name" = webview_bench ] || [ "$name" = ad_load_bench ] || [ "$name" = click_bench ] || [ "$name" = browser_bench ] || [ "$name" = mraid_bench ] || [ "$name" = stuck_ad_bench ] || [ "$name" = heavy_ad_bench ] || [ "$name" = webkit_floor_bench ] || [ "$name" = first_use_bench ]; then
    # Real windows: under Xvfb when there is no display.
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then xvfb-run -a "$b"; else "$b"; fi
    continue
  fi
  "$b" --benchmark_filter="${1:-.}"
done
