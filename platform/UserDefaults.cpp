#include "platform/UserDefaults.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"

namespace platform {

namespace {

std::shared_ptr<UserDefaults>& standardSlot() {
  return processWide<std::shared_ptr<UserDefaults>>();
}

std::optional<std::filesystem::path> preferencesFile() {
  auto folder = FileManager::configurationDirectory();
  if (!folder) return std::nullopt;
  return *folder / "preferences.plist";
}

// The user's languages, most preferred first, as language tags ("en-GB"),
// from the locale environment (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
Value preferredLanguages() {
  Value::Array languages;
  for (const char* const* name = g_get_language_names(); *name; ++name) {
    std::string tag = *name;
    if (tag == "C" || tag == "POSIX") continue;
    if (size_t cut = tag.find_first_of(".@"); cut != std::string::npos) continue;
    for (char& c : tag)
      if (c == '_') c = '-';
    languages.push_back(Value(tag));
  }
  return Value(std::move(languages));
}

}  // namespace

UserDefaults& UserDefaults::standard() {
  auto& slot = standardSlot();
  if (!slot) {
    slot = std::make_shared<UserDefaults>(preferencesFile());
    slot->registerDefaults(Dictionary{{"AppleLanguages", preferredLanguages()}});
  }
  return *slot;
}

void UserDefaults::setStandardForTesting(std::shared_ptr<UserDefaults> defaults) { standardSlot() = std::move(defaults); }

UserDefaults::UserDefaults(std::optional<std::filesystem::path> file) : file_(std::move(file)) {
  if (!file_) return;
  std::error_code ec;
  if (!std::filesystem::exists(*file_, ec)) return;
  auto stored = PropertyList::readFile(*file_);
  if (stored && stored->isDictionary()) {
    values_ = std::move(*stored->asDictionary());
    return;
  }
  if (!stored && stored.error().code == PropertyList::kCannotRead) {
    unreadableLogged_ = true;
    log("Preferences file %s cannot be read; it is left as it is and nothing is saved to it.", file_->c_str());
    return;
  }
  log("Preferences file %s cannot be read; starting with empty preferences.", file_->c_str());
}

const Value* UserDefaults::objectForKey(const std::string& key) const {
  if (const Value* value = values_.find(key)) return value;
  return registered_.find(key);
}

void UserDefaults::noteChange(const std::string& key, std::optional<Value> value) {
  std::erase_if(changes_, [&](const auto& change) { return change.first == key; });
  changes_.emplace_back(key, std::move(value));
}

void UserDefaults::setObjectForKey(Value value, const std::string& key) {
  values_.set(key, value);
  noteChange(key, std::move(value));
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  values_.erase(key);
  noteChange(key, std::nullopt);
}

void UserDefaults::registerDefaults(const Dictionary& defaults) { registered_.merge(defaults); }

namespace {

// An exclusive lock on a file beside the preferences, for one save: the
// other copy of the application waits the length of a write.
class SaveLock {
 public:
  explicit SaveLock(const std::filesystem::path& file)
      : fd_(::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~SaveLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
  }
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;

 private:
  int fd_;
};

}  // namespace

namespace {

// Each change, in order, over `values`: set, or removed.
void layOver(Dictionary& values, const UserDefaults::Changes& changes) {
  for (const auto& [key, value] : changes) {
    if (value) {
      values.set(key, *value);
    } else {
      values.erase(key);
    }
  }
}

}  // namespace

struct UserDefaults::SaveOutcome {
  enum class Kind { Written, Unreadable, Failed } kind = Kind::Failed;
  std::string message;  // why it failed, for the log
  Dictionary merged;    // what the file holds now, when written
};

// A save on a worker thread: its outcome, and whether it is in.
struct UserDefaults::Save {
  std::mutex lock;
  std::condition_variable ended;
  std::optional<SaveOutcome> outcome;
  Changes changes;     // what it saves
  bool taken = false;  // its outcome is in the store (main thread)
};

UserDefaults::SaveOutcome UserDefaults::write(const std::filesystem::path& file, Dictionary values,
                                              const Changes& changes) {
  SaveOutcome outcome;
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  SaveLock lock(file);
  Dictionary merged = std::move(values);
  if (std::filesystem::exists(file, ec)) {
    auto stored = PropertyList::readFile(file);
    if (stored && stored->isDictionary()) {
      merged = std::move(*stored->asDictionary());
      layOver(merged, changes);
    } else if (!stored && stored.error().code == PropertyList::kCannotRead) {
      // It may hold everything the user had: it is nobody's to replace.
      outcome.kind = SaveOutcome::Kind::Unreadable;
      outcome.message = stored.error().message;
      return outcome;
    } else {
      std::filesystem::path kept = file;
      kept += ".corrupt";
      std::filesystem::copy_file(file, kept, std::filesystem::copy_options::overwrite_existing, ec);
    }
  }
  const auto xml = PropertyList::toXML(Value(merged));
  if (!xml) {
    outcome.message = xml.error().message;
    return outcome;
  }
  auto written = FileManager::writeAtomically(
      file, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(xml->data()), xml->size()));
  if (!written) return outcome;
  outcome.kind = SaveOutcome::Kind::Written;
  outcome.merged = std::move(merged);
  return outcome;
}

bool UserDefaults::take(SaveOutcome outcome, Changes saved) {
  switch (outcome.kind) {
    case SaveOutcome::Kind::Written:
      // The file as written, with what changed since laid over it.
      values_ = std::move(outcome.merged);
      layOver(values_, changes_);
      ++saves_;
      return true;
    case SaveOutcome::Kind::Unreadable:
      if (!unreadableLogged_) log("Preferences cannot be saved: %s.", outcome.message.c_str());
      unreadableLogged_ = true;
      break;
    case SaveOutcome::Kind::Failed:
      if (!outcome.message.empty()) log("Preferences cannot be saved: %s.", outcome.message.c_str());
      break;
  }
  // Not saved: the changes wait for the next save, behind any newer change
  // of the same key.
  std::erase_if(saved, [&](const auto& change) {
    return std::any_of(changes_.begin(), changes_.end(), [&](const auto& newer) { return newer.first == change.first; });
  });
  saved.insert(saved.end(), std::make_move_iterator(changes_.begin()), std::make_move_iterator(changes_.end()));
  changes_ = std::move(saved);
  return false;
}

bool UserDefaults::synchronize() {
  if (!file_) return false;
  finishBackgroundSave();
  saveAgain_ = false;
  Changes saved = std::exchange(changes_, Changes{});
  auto outcome = write(*file_, values_, saved);
  return take(std::move(outcome), std::move(saved));
}

void UserDefaults::saveInBackground() {
  if (!file_) return;
  if (background_) {
    saveAgain_ = true;
    return;
  }
  auto save = std::make_shared<Save>();
  save->changes = std::exchange(changes_, Changes{});
  background_ = save;
  RunLoop::main().performInBackground(
      save,
      [save, file = *file_, values = values_] {
        auto outcome = write(file, values, save->changes);
        std::lock_guard hold(save->lock);
        save->outcome = std::move(outcome);
        save->ended.notify_all();
      },
      // Held alive by the request; a store that took the outcome already
      // (synchronize, or going) may be gone.
      [this, raw = save.get()] {
        if (raw->taken) return;
        finishBackgroundSave();
        if (std::exchange(saveAgain_, false)) saveInBackground();
      });
}

// The worker's outcome, once it is in (waiting for it if need be).
void UserDefaults::finishBackgroundSave() {
  if (!background_) return;
  auto save = std::move(background_);
  save->taken = true;
  std::unique_lock hold(save->lock);
  save->ended.wait(hold, [&] { return save->outcome.has_value(); });
  take(std::move(*save->outcome), std::move(save->changes));
}

UserDefaults::~UserDefaults() { finishBackgroundSave(); }

}  // namespace platform
