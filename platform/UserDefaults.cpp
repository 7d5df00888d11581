#include "platform/UserDefaults.h"

#include <glib.h>


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
  log("Preferences file %s cannot be read; starting with empty preferences.", file_->c_str());
}

const Value* UserDefaults::objectForKey(const std::string& key) const {
  if (const Value* value = values_.find(key)) return value;
  return registered_.find(key);
}

void UserDefaults::setObjectForKey(Value value, const std::string& key) { values_.set(key, std::move(value)); }

void UserDefaults::removeObjectForKey(const std::string& key) { values_.erase(key); }

void UserDefaults::registerDefaults(const Dictionary& defaults) { registered_.merge(defaults); }

bool UserDefaults::synchronize() {
  if (!file_) return false;
  std::error_code ec;
  std::filesystem::create_directories(file_->parent_path(), ec);
  const auto xml = PropertyList::toXML(Value(values_));
  if (!xml) {
    log("Preferences cannot be saved: %s.", xml.error().message.c_str());
    return false;
  }
  auto written = FileManager::writeAtomically(
      *file_, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(xml->data()), xml->size()));
  return written.has_value();
}

}  // namespace platform
