// Watches whether the network can be reached and over which kind of link,
// for the request's "net" value. One shared instance. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class Reachability;
}

// Posted on the default notification centre, with the checker as sender,
// when the network becomes reachable after it was not.
inline constexpr const char* kGADNetworkDidBecomeReachableNotification = "GADNetworkDidBecomeReachable";

enum GADNetworkType : std::int32_t {
  kGADNetworkTypeUnknown = 0,
  kGADNetworkTypeNotReachable = 1,
  kGADNetworkTypeWiFi = 2,
  kGADNetworkTypeCellular = 3,
};

class GADNetworkChecker {
 public:
  // Made and enabled by the first call.
  static GADNetworkChecker& sharedChecker();
  static void resetForTesting();

  GADNetworkChecker() = default;
  ~GADNetworkChecker();
  GADNetworkChecker(const GADNetworkChecker&) = delete;
  GADNetworkChecker& operator=(const GADNetworkChecker&) = delete;

  bool isEnabled() const { return networkRef_ != nullptr; }
  void setEnabled(bool enabled);
  void startNetworkChecking();
  void stopNetworkChecking();
  void setNetworkTypeFromFlags(std::uint32_t flags);

  GADNetworkType networkType() const { return static_cast<GADNetworkType>(networkType_); }
  // "wi", "ed", or nullopt while unknown or unreachable.
  std::optional<std::string> networkTypeString() const;

 private:
  std::unique_ptr<platform::Reachability> networkRef_;
  std::int32_t networkType_ = kGADNetworkTypeUnknown;
};

// What the reachability target calls on each report: hands the flags to the
// checker given as `context`.
void ReachabilityCallback(platform::Reachability* target, std::uint32_t flags, void* context);
