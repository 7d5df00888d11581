// The process-wide registry that attaches a hidden companion object to a
// public one (a banner view to its ad loader). Keys are the public objects'
// addresses and are not retained; the registry owns the companions.
// Main thread only.
#pragma once

#include <memory>
#include <typeindex>

class GADPrivateUtilities {
 public:
  // Stores or replaces the entry of `key`; a replaced companion is released.
  template <typename T>
  static void setPrivateObjectForKey(std::shared_ptr<T> companion, const void* key) {
    store(std::static_pointer_cast<void>(std::move(companion)), typeid(T), key);
  }
  // The companion of `key`, or null (also when it is not a T).
  template <typename T>
  static std::shared_ptr<T> privateObjectForKey(const void* key) {
    return std::static_pointer_cast<T>(lookup(typeid(T), key));
  }
  // Removes the entry and releases the companion.
  static void removePrivateObjectForKey(const void* key);

  static size_t countForTesting();

 private:
  static void store(std::shared_ptr<void> companion, std::type_index type, const void* key);
  static std::shared_ptr<void> lookup(std::type_index type, const void* key);
};
