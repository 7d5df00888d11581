// The application bundle: its resources folder and its information file
// (Info.plist). Main thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"

namespace platform {

class Bundle {
 public:
  explicit Bundle(std::filesystem::path resourcesPath);

  // The application's bundle. Run from the build tree: the source tree's
  // resources folder. Installed: the one installed beside the program
  // (<prefix>/share/blorvik), else the first XDG data folder's.
  static Bundle& main();
  static void setMainForTesting(std::shared_ptr<Bundle> bundle);

  const std::filesystem::path& resourcesPath() const { return resourcesPath_; }
  // The path of the regular file "name.type" in the resources folder, or
  // nullopt. Names that would leave the folder are refused.
  std::optional<std::filesystem::path> pathForResource(const std::string& name, const std::string& type) const;
  // The information file's dictionary; empty when it is missing or broken.
  const Dictionary& infoDictionary() const;
  // Texts of the information file, empty when absent.
  std::string infoString(const std::string& key) const;

 private:
  std::filesystem::path resourcesPath_;
  mutable std::optional<Dictionary> info_;
};

}  // namespace platform
