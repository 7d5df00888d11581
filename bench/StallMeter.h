// The gaps between ticks of a 1 ms timer on the main context: how long the
// loop was kept from turning, for the window benchmarks.
#pragma once

#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <vector>

class StallMeter {
 public:
  using Clock = std::chrono::steady_clock;
  StallMeter() {
    last_ = Clock::now();
    source_ = g_timeout_add(1, [](gpointer data) -> gboolean {
      auto* self = static_cast<StallMeter*>(data);
      const auto now = Clock::now();
      self->gaps_.push_back(std::chrono::duration<double, std::milli>(now - self->last_).count());
      self->last_ = now;
      return G_SOURCE_CONTINUE;
    }, this);
  }
  ~StallMeter() { g_source_remove(source_); }
  StallMeter(const StallMeter&) = delete;
  StallMeter& operator=(const StallMeter&) = delete;

  void restart() {
    last_ = Clock::now();
    gaps_.clear();
  }
  double longest() const { return gaps_.empty() ? 0 : *std::max_element(gaps_.begin(), gaps_.end()); }
  // The gap at that fraction (0.5, 0.99) of those seen since the restart.
  double percentile(double fraction) const {
    if (gaps_.empty()) return 0;
    std::vector<double> sorted = gaps_;
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, static_cast<size_t>(fraction * static_cast<double>(sorted.size())))];
  }
  size_t turns() const { return gaps_.size(); }
  const std::vector<double>& gaps() const { return gaps_; }

 private:
  guint source_ = 0;
  Clock::time_point last_;
  std::vector<double> gaps_;
};
