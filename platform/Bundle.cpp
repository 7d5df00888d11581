#include "platform/Bundle.h"

#include "BuildConfig.h"
#include "platform/PropertyList.h"
#include "platform/ProcessWide.h"

namespace platform {

namespace {
std::shared_ptr<Bundle>& mainSlot() {
  return processWide<std::shared_ptr<Bundle>>();
}
}  // namespace

Bundle::Bundle(std::filesystem::path resourcesPath) : resourcesPath_(std::move(resourcesPath)) {}

Bundle& Bundle::main() {
  auto& slot = mainSlot();
  if (!slot) slot = std::make_shared<Bundle>(config::kResourcesDir);
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
