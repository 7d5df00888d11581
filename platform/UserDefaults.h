// The application's preferences: property-list values by key, kept in a
// property-list file written atomically. Another running copy of the
// application may save the same file: a save merges (see synchronize). A
// file that is no property list is taken as empty (one log line), kept
// beside as "<file>.corrupt" and replaced at the next save; one that
// cannot be read at all (permissions, a read error) is never replaced.
// Main thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

  // Writes the file now, merged with what another running copy saved
  // since: under a lock (the file "<file>.lock" beside it) the file is read
  // again, this store's changes since its last save are laid over it, and
  // the whole is written atomically and taken as this store's values.
  // False (and the old file kept) when it cannot be written, or read.
  bool synchronize();

  const std::optional<std::filesystem::path>& file() const { return file_; }
  // The saves written so far.
  int saveCount() const { return saves_; }

 private:
  std::optional<std::filesystem::path> file_;
  Dictionary values_;
  Dictionary registered_;
  // Set or removed (nullopt) since the last save, in order.
  std::vector<std::pair<std::string, std::optional<Value>>> changes_;
  bool unreadableLogged_ = false;
  int saves_ = 0;
  void noteChange(const std::string& key, std::optional<Value> value);
};

}  // namespace platform
