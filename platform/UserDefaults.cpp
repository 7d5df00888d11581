#include "platform/UserDefaults.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/ProcessWide.h"

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

bool UserDefaults::synchronize() {
  if (!file_) return false;
  std::error_code ec;
  std::filesystem::create_directories(file_->parent_path(), ec);
  SaveLock lock(*file_);
  Dictionary merged = values_;
  if (std::filesystem::exists(*file_, ec)) {
    auto stored = PropertyList::readFile(*file_);
    if (stored && stored->isDictionary()) {
      merged = std::move(*stored->asDictionary());
      for (const auto& [key, value] : changes_) {
        if (value) {
          merged.set(key, *value);
        } else {
          merged.erase(key);
        }
      }
    } else if (!stored && stored.error().code == PropertyList::kCannotRead) {
      // It may hold everything the user had: it is nobody's to replace.
      if (!unreadableLogged_) log("Preferences cannot be saved: %s.", stored.error().message.c_str());
      unreadableLogged_ = true;
      return false;
    } else {
      std::filesystem::path kept = *file_;
      kept += ".corrupt";
      std::filesystem::copy_file(*file_, kept, std::filesystem::copy_options::overwrite_existing, ec);
    }
  }
  const auto xml = PropertyList::toXML(Value(merged));
  if (!xml) {
    log("Preferences cannot be saved: %s.", xml.error().message.c_str());
    return false;
  }
  auto written = FileManager::writeAtomically(
      *file_, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(xml->data()), xml->size()));
  if (!written) return false;
  values_ = std::move(merged);
  changes_.clear();
  ++saves_;
  return true;
}

}  // namespace platform
