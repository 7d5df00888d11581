#include "platform/NotificationCenter.h"

#include <algorithm>
#include "platform/ProcessWide.h"

namespace platform {

namespace {
std::unique_ptr<NotificationCenter>& defaultSlot() {
  return processWide<std::unique_ptr<NotificationCenter>>();
}
}  // namespace

NotificationCenter& NotificationCenter::defaultCenter() {
  auto& slot = defaultSlot();
  if (!slot) slot = std::make_unique<NotificationCenter>();
  return *slot;
}

void NotificationCenter::resetDefaultForTesting() { defaultSlot() = std::make_unique<NotificationCenter>(); }

void NotificationCenter::addObserver(const void* observer, std::string name, const void* sender,
                                     Callback callback) {
  registrations_.push_back(
      Registration{observer, std::move(name), sender, std::move(callback), std::make_shared<bool>(true)});
}

void NotificationCenter::removeObserver(const void* observer) { removeObserver(observer, {}, nullptr); }

void NotificationCenter::removeObserver(const void* observer, const std::string& name, const void* sender) {
  std::erase_if(registrations_, [&](Registration& r) {
    const bool match = r.observer == observer && (name.empty() || r.name == name) &&
                       (sender == nullptr || r.sender == sender);
    if (match) *r.live = false;
    return match;
  });
}

void NotificationCenter::post(const Notification& notification) {
  // A snapshot, since callbacks may add or remove observers; the live flag
  // keeps a removed observer from being called later in this posting.
  struct Delivery {
    Callback callback;
    std::shared_ptr<bool> live;
  };
  std::vector<Delivery> deliveries;
  for (const auto& r : registrations_) {
    if ((r.name.empty() || r.name == notification.name) && (r.sender == nullptr || r.sender == notification.object))
      deliveries.push_back({r.callback, r.live});
  }
  for (auto& delivery : deliveries) {
    if (*delivery.live) delivery.callback(notification);
  }
}

void NotificationCenter::post(std::string name, const void* sender, Dictionary userInfo) {
  post(Notification{std::move(name), sender, std::move(userInfo)});
}

}  // namespace platform
