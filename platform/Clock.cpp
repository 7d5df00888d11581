#include "platform/Clock.h"

#include <time.h>

#include <fstream>

#include "platform/ASCII.h"

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
std::optional<std::string>& bootOverride() {
  static std::optional<std::string> boot;
  return boot;
}
const std::string& systemBoot() {
  static const std::string boot = [] {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string line;
    std::getline(in, line);
    return ascii::trimmed(line);
  }();
  return boot;
}
double read(clockid_t id) {
  timespec t{};
  clock_gettime(id, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
}  // namespace

double Clock::monotonicSeconds() { return monotonicOverride() ? monotonicOverride()() : read(CLOCK_BOOTTIME); }

double Clock::now() { return nowOverride() ? nowOverride()() : read(CLOCK_REALTIME); }

const std::string& Clock::bootIdentifier() { return bootOverride() ? *bootOverride() : systemBoot(); }

void Clock::setBootIdentifierForTesting(std::optional<std::string> boot) { bootOverride() = std::move(boot); }

void Clock::setMonotonicForTesting(std::function<double()> clock) { monotonicOverride() = std::move(clock); }

void Clock::setNowForTesting(std::function<double()> clock) { nowOverride() = std::move(clock); }

}  // namespace platform
