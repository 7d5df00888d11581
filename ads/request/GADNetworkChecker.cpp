#include "ads/request/GADNetworkChecker.h"

#include "platform/NotificationCenter.h"

#include "BuildConfig.h"
#include "platform/Reachability.h"
#include "platform/ProcessWide.h"

namespace {
std::unique_ptr<GADNetworkChecker>& sharedSlot() {
  return platform::processWide<std::unique_ptr<GADNetworkChecker>>();
}
}  // namespace

void ReachabilityCallback(platform::Reachability*, std::uint32_t flags, void* context) {
  static_cast<GADNetworkChecker*>(context)->setNetworkTypeFromFlags(flags);
}

GADNetworkChecker& GADNetworkChecker::sharedChecker() {
  auto& slot = sharedSlot();
  if (!slot) {
    slot = std::make_unique<GADNetworkChecker>();
    slot->setEnabled(true);
  }
  return *slot;
}

void GADNetworkChecker::resetForTesting() { sharedSlot().reset(); }

GADNetworkChecker::~GADNetworkChecker() { stopNetworkChecking(); }

void GADNetworkChecker::setEnabled(bool enabled) {
  if (enabled == isEnabled()) return;
  if (enabled)
    startNetworkChecking();
  else
    stopNetworkChecking();
}

void GADNetworkChecker::startNetworkChecking() {
  networkType_ = kGADNetworkTypeUnknown;
  if (networkRef_) return;
  networkRef_ = platform::Reachability::createWithName(config::kReachabilityHost);
  if (!networkRef_) return;
  networkRef_->scheduleWithRunLoop();
  networkRef_->setCallback(ReachabilityCallback, this);
}

void GADNetworkChecker::stopNetworkChecking() {
  if (!networkRef_) return;
  networkRef_->unscheduleFromRunLoop();
  networkRef_.reset();
  networkType_ = kGADNetworkTypeUnknown;
}

void GADNetworkChecker::setNetworkTypeFromFlags(std::uint32_t flags) {
  const bool wasUnreachable = networkType_ == kGADNetworkTypeNotReachable;
  if (!(flags & platform::Reachability::kFlagReachable))
    networkType_ = kGADNetworkTypeNotReachable;
  else
    networkType_ = (flags & platform::Reachability::kFlagIsWWAN) ? kGADNetworkTypeCellular : kGADNetworkTypeWiFi;
  if (wasUnreachable && networkType_ != kGADNetworkTypeNotReachable)
    platform::NotificationCenter::defaultCenter().post(kGADNetworkDidBecomeReachableNotification, this);
}

std::optional<std::string> GADNetworkChecker::networkTypeString() const {
  if (networkType_ == kGADNetworkTypeWiFi) return "wi";
  if (networkType_ == kGADNetworkTypeCellular) return "ed";
  return std::nullopt;
}
