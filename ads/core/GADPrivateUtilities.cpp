#include "ads/core/GADPrivateUtilities.h"

#include <unordered_map>
#include "platform/ProcessWide.h"

namespace {

struct Entry {
  std::shared_ptr<void> companion;
  std::type_index type;
};

std::unordered_map<const void*, Entry>& registry() {
  return platform::processWide<std::unordered_map<const void*, Entry>>();
}

}  // namespace

void GADPrivateUtilities::store(std::shared_ptr<void> companion, std::type_index type, const void* key) {
  auto& entries = registry();
  auto it = entries.find(key);
  if (it == entries.end()) {
    entries.emplace(key, Entry{std::move(companion), type});
    return;
  }
  // Swap first, release after: the old companion's teardown may use the registry.
  Entry old{std::move(it->second.companion), it->second.type};
  it->second = Entry{std::move(companion), type};
}

std::shared_ptr<void> GADPrivateUtilities::lookup(std::type_index type, const void* key) {
  auto& entries = registry();
  auto it = entries.find(key);
  if (it == entries.end() || it->second.type != type) return nullptr;
  return it->second.companion;
}

void GADPrivateUtilities::removePrivateObjectForKey(const void* key) {
  auto& entries = registry();
  auto it = entries.find(key);
  if (it == entries.end()) return;
  // Out of the map before the companion goes, for the same reason.
  auto companion = std::move(it->second.companion);
  entries.erase(it);
  companion.reset();
}

size_t GADPrivateUtilities::countForTesting() { return registry().size(); }
