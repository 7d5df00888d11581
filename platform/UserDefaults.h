// The application's preferences: property-list values by key, kept in a
// property-list file written atomically. A file that cannot be read is
// taken as empty (one log line) and replaced at the next save. Main thread
// only.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/Value.h"

namespace platform {

class UserDefaults {
 public:
  // $XDG_CONFIG_HOME/<bundle identifier>/preferences.plist (else
  // ~/.config/...), with the registered defaults of the platform:
  // "AppleLanguages", the user's preferred languages.
  static UserDefaults& standard();
  // Replaces the standard store with one on `file` (null: made anew from
  // the environment on next use).
  static void setStandardForTesting(std::shared_ptr<UserDefaults> defaults);

  explicit UserDefaults(std::optional<std::filesystem::path> file);

  // The stored value, else the registered default, else nothing.
  const Value* objectForKey(const std::string& key) const;
  void setObjectForKey(Value value, const std::string& key);
  void removeObjectForKey(const std::string& key);
  // Values answered for keys that were never set; never saved.
  void registerDefaults(const Dictionary& defaults);

  // Writes the file now; false (and the old file kept) when it cannot.
  bool synchronize();

  const std::optional<std::filesystem::path>& file() const { return file_; }

 private:
  std::optional<std::filesystem::path> file_;
  Dictionary values_;
  Dictionary registered_;
};

}  // namespace platform
