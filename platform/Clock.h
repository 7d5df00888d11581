// The monotonic clock in seconds (it restarts with the machine) and the
// wall clock; both can be replaced in tests.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

class Clock {
 public:
  // Seconds since boot, never going back.
  static double monotonicSeconds();
  // Seconds since 1970-01-01 00:00:00 UTC.
  static double now();
  // Names the boot the monotonic clock counts from (the kernel's boot_id):
  // a value of that clock kept by an earlier boot means nothing now. Empty
  // when the system does not say.
  static const std::string& bootIdentifier();
  // Null restores the real clocks.
  static void setMonotonicForTesting(std::function<double()> clock);
  static void setNowForTesting(std::function<double()> clock);
  // nullopt restores the system's.
  static void setBootIdentifierForTesting(std::optional<std::string> boot);
};

}  // namespace platform
