// The application's preferences: property-list values by key, kept in a
// property-list file written atomically. Another running copy of the
// application may save the same file: a save merges (see synchronize). A
// file that is no property list is taken as empty (one log line), kept
// beside as "<file>.corrupt" and replaced at the next save; one that
// cannot be read at all (permissions, a read error) is never replaced.
// Saves in the background run on a worker thread; everything else is on the
// main thread only.
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
  // Waits for a save under way, so that nothing asked to be saved is lost.
  ~UserDefaults();
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

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
  // A save under way in the background ends first.
  bool synchronize();
  // The same save on a worker thread, so the main loop never waits on the
  // disk; its outcome is taken on a later turn of the loop. Saves run one
  // at a time: one asked for while another runs follows it, with every
  // change made meanwhile.
  void saveInBackground();
  bool isSaving() const { return background_ != nullptr; }

  const std::optional<std::filesystem::path>& file() const { return file_; }
  // The saves written so far.
  int saveCount() const { return saves_; }

  using Changes = std::vector<std::pair<std::string, std::optional<Value>>>;

 private:
  struct Save;
  struct SaveOutcome;
  // Reads, merges and writes under the lock; touches nothing of a store.
  static SaveOutcome write(const std::filesystem::path& file, Dictionary values, const Changes& changes);
  // Takes a save's outcome into the store (main thread).
  bool take(SaveOutcome outcome, Changes saved);
  void finishBackgroundSave();

  std::optional<std::filesystem::path> file_;
  Dictionary values_;
  Dictionary registered_;
  // Set or removed (nullopt) since the last save, in order.
  Changes changes_;
  std::shared_ptr<Save> background_;  // the save under way on a worker
  bool saveAgain_ = false;
  bool unreadableLogged_ = false;
  int saves_ = 0;
  void noteChange(const std::string& key, std::optional<Value> value);
};

}  // namespace platform
