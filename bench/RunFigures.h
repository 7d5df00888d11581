// Timings of repeated runs for the window benchmarks: the first apart (it
// pays for what the later ones find ready), then the median, 90th
// percentile, minimum and maximum of the rest, on one line.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

class RunFigures {
 public:
  using Clock = std::chrono::steady_clock;

  static double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }

  static void report(const char* what, const std::vector<double>& runs) {
    if (runs.size() < 2) return;
    std::vector<double> later(runs.begin() + 1, runs.end());
    std::sort(later.begin(), later.end());
    const size_t p90 = std::min(later.size() - 1, (later.size() * 9 + 9) / 10 - 1);
    std::printf("%-56s first %8.2f ms   later: median %8.2f ms  p90 %8.2f  min %8.2f  max %8.2f  (%zu runs)\n", what,
                runs.front(), later[later.size() / 2], later[p90], later.front(), later.back(), later.size());
  }
};
