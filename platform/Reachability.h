// Whether a host can be reached, and over which kind of link, from GIO's
// network monitor: reports arrive on the main run loop after scheduling and
// on every change of the network. A metered network stands for the phone's
// cellular link.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class Reachability {
 public:
  static constexpr std::uint32_t kFlagReachable = 0x2;
  static constexpr std::uint32_t kFlagIsWWAN = 0x40000;

  using Callback = void (*)(Reachability* target, std::uint32_t flags, void* context);

  // A target for `host`; null when none can be made (empty host, no monitor).
  static std::unique_ptr<Reachability> createWithName(const std::string& host);
  ~Reachability();
  Reachability(const Reachability&) = delete;
  Reachability& operator=(const Reachability&) = delete;

  // Reports go to `callback` with `context` (not retained) until unscheduled.
  void setCallback(Callback callback, void* context);
  // Starts reporting on the main run loop: a first report once the host has
  // been checked, then one on every network change.
  void scheduleWithRunLoop();
  void unscheduleFromRunLoop();

 private:
  struct State;
  explicit Reachability(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};

}  // namespace platform
