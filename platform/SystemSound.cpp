#include "platform/SystemSound.h"

#include <unistd.h>

#include <unordered_map>

#include "platform/Toolkit.h"
#include "platform/ProcessWide.h"

namespace platform {

namespace {
struct Registry {
  SystemSoundID next = 1;  // never reaches kSystemSoundIDVibrate in practice
  std::unordered_map<SystemSoundID, std::filesystem::path> paths;
};
Registry& registry() {
  return processWide<Registry>();
}
}  // namespace

std::optional<SystemSoundID> SystemSound::create(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || access(path.c_str(), R_OK) != 0) return std::nullopt;
  auto& r = registry();
  const SystemSoundID id = r.next++;
  r.paths.emplace(id, path);
  return id;
}

void SystemSound::play(SystemSoundID sound) {
  if (sound == kSystemSoundIDVibrate) {
    Toolkit::current().vibrate();
    return;
  }
  auto& r = registry();
  auto it = r.paths.find(sound);
  if (it == r.paths.end()) return;
  Toolkit::current().playSound(it->second);
}

void SystemSound::dispose(SystemSoundID sound) { registry().paths.erase(sound); }

}  // namespace platform
