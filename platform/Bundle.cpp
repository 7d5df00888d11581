#include "platform/Bundle.h"

#include <glib.h>

#include <algorithm>
#include <vector>

#include "BuildConfig.h"
#include "platform/PropertyList.h"
#include "platform/ProcessWide.h"

namespace platform {

namespace {
std::shared_ptr<Bundle>& mainSlot() {
  return processWide<std::shared_ptr<Bundle>>();
}

bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto [end, at] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

bool holdsResources(const std::filesystem::path& folder) {
  std::error_code ec;
  return std::filesystem::is_regular_file(folder / "Info.plist", ec);
}

// A program of the build tree reads the source tree's resources; an
// installed one those installed beside it (<prefix>/bin and
// <prefix>/share/blorvik), else the first of the XDG data folders that
// holds them.
std::filesystem::path mainResourcesPath() {
  std::error_code unreadable, noBuildTree;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", unreadable);
  const auto buildTree = std::filesystem::weakly_canonical(config::kBuildDir, noBuildTree);
  if (!unreadable && !noBuildTree && isInside(program, buildTree)) return config::kResourcesDir;
  const auto beside = program.parent_path().parent_path() / "share" / config::kDataFolderName;
  if (!unreadable && holdsResources(beside)) return beside;
  std::vector<std::filesystem::path> data{g_get_user_data_dir()};
  for (const char* const* dir = g_get_system_data_dirs(); *dir; ++dir) data.emplace_back(*dir);
  for (const auto& folder : data)
    if (holdsResources(folder / config::kDataFolderName)) return folder / config::kDataFolderName;
  return beside;
}
}  // namespace

Bundle::Bundle(std::filesystem::path resourcesPath) : resourcesPath_(std::move(resourcesPath)) {}

Bundle& Bundle::main() {
  auto& slot = mainSlot();
  if (!slot) slot = std::make_shared<Bundle>(mainResourcesPath());
  return *slot;
}

void Bundle::setMainForTesting(std::shared_ptr<Bundle> bundle) { mainSlot() = std::move(bundle); }

std::optional<std::filesystem::path> Bundle::pathForResource(const std::string& name,
                                                             const std::string& type) const {
  if (name.empty() || name.find('/') != std::string::npos || type.find('/') != std::string::npos ||
      name == "." || name == "..")
    return std::nullopt;
  std::filesystem::path path = resourcesPath_ / (type.empty() ? name : name + "." + type);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  return path;
}

const Dictionary& Bundle::infoDictionary() const {
  if (!info_) {
    info_.emplace();
    auto value = PropertyList::readFile(resourcesPath_ / "Info.plist");
    if (value && value->isDictionary()) info_ = *value->asDictionary();
  }
  return *info_;
}

std::string Bundle::infoString(const std::string& key) const {
  const Value* value = infoDictionary().find(key);
  if (!value || !value->isString()) return {};
  return *value->asString();
}

}  // namespace platform
