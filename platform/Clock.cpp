#include "platform/Clock.h"

#include <time.h>

namespace platform {

namespace {
std::function<double()>& monotonicOverride() {
  static std::function<double()> clock;
  return clock;
}
std::function<double()>& nowOverride() {
  static std::function<double()> clock;
  return clock;
}
double read(clockid_t id) {
  timespec t{};
  clock_gettime(id, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
}  // namespace

double Clock::monotonicSeconds() { return monotonicOverride() ? monotonicOverride()() : read(CLOCK_BOOTTIME); }

double Clock::now() { return nowOverride() ? nowOverride()() : read(CLOCK_REALTIME); }

void Clock::setMonotonicForTesting(std::function<double()> clock) { monotonicOverride() = std::move(clock); }

void Clock::setNowForTesting(std::function<double()> clock) { nowOverride() = std::move(clock); }

}  // namespace platform
