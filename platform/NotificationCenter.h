// Observers by name and optional sender, synchronous posting, removal by
// observer. Main thread only.
//
// Observers are not retained: an observer is named by its address and must
// remove itself before it goes away (its callback should hold no owning
// reference to it either).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Value.h"

namespace platform {

struct Notification {
  std::string name;
  // The sender, compared by address; may be null.
  const void* object = nullptr;
  Dictionary userInfo;
};

class NotificationCenter {
 public:
  using Callback = std::function<void(const Notification&)>;

  // The platform's default centre, made on first use.
  static NotificationCenter& defaultCenter();
  static void resetDefaultForTesting();

  // Calls `callback` for each posting of `name` (any name when empty) whose
  // sender is `sender` (any sender when null).
  void addObserver(const void* observer, std::string name, const void* sender, Callback callback);
  // Removes every registration of `observer`.
  void removeObserver(const void* observer);
  // Removes the registrations of `observer` for `name` (any when empty) and
  // `sender` (any when null).
  void removeObserver(const void* observer, const std::string& name, const void* sender);

  // Delivers to every matching observer before returning, in the order they
  // registered. An observer removed during the posting is not called after.
  void post(const Notification& notification);
  void post(std::string name, const void* sender, Dictionary userInfo = {});

  size_t observerCount() const { return registrations_.size(); }

 private:
  struct Registration {
    const void* observer;
    std::string name;
    const void* sender;
    Callback callback;
    std::shared_ptr<bool> live;
  };
  std::vector<Registration> registrations_;
};

}  // namespace platform
