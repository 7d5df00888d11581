// The monotonic clock in seconds (it restarts with the machine) and the
// wall clock; both can be replaced in tests.
#pragma once

#include <functional>

namespace platform {

class Clock {
 public:
  // Seconds since boot, never going back.
  static double monotonicSeconds();
  // Seconds since 1970-01-01 00:00:00 UTC.
  static double now();
  // Null restores the real clocks.
  static void setMonotonicForTesting(std::function<double()> clock);
  static void setNowForTesting(std::function<double()> clock);
};

}  // namespace platform
