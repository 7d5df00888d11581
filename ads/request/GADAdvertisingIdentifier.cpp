#include "ads/request/GADAdvertisingIdentifier.h"

#include <fstream>
#include <iterator>
#include <span>
#include <system_error>

#include "ads/codec/GTMStringEncoding.h"
#include "platform/Crypto.h"
#include "platform/FileManager.h"
#include "platform/Log.h"

namespace {

constexpr const char* kFileName = "advertising-identifier";
constexpr std::streamsize kLongestFile = 64;

}  // namespace

std::optional<std::filesystem::path> GADAdvertisingIdentifier::defaultFile() {
  auto folder = platform::FileManager::dataDirectory();
  if (!folder) return std::nullopt;
  return *folder / kFileName;
}

GADAdvertisingIdentifier::GADAdvertisingIdentifier(std::optional<std::filesystem::path> file)
    : file_(std::move(file)) {}

bool GADAdvertisingIdentifier::isWellFormed(const std::string& text) {
  if (text.size() != 32) return false;
  bool allZeros = true;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    if (c != '0') allZeros = false;
  }
  // All zeros is what a request says when it may not carry the identifier.
  return !allZeros;
}

std::string GADAdvertisingIdentifier::random() {
  for (;;) {
    const platform::Crypto::Block bytes = platform::Crypto::randomBlock();
    std::string text = GTMStringEncoding::hexStringEncoding().encode(bytes);
    if (isWellFormed(text)) return text;
  }
}

const std::string& GADAdvertisingIdentifier::value() {
  if (value_) return *value_;
  if (file_) {
    std::error_code error;
    const bool exists = std::filesystem::exists(*file_, error);
    if (exists || error) {
      std::string text;
      std::ifstream in(*file_, std::ios::binary);
      if (in) {
        text.resize(static_cast<size_t>(kLongestFile));
        in.read(text.data(), kLongestFile);
        text.resize(static_cast<size_t>(in.gcount()));
        if (!text.empty() && text.back() == '\n') text.pop_back();
      }
      if (in.bad() || !isWellFormed(text)) {
        platform::log("The advertising identifier in %s could not be read; a new one replaces it",
                      file_->c_str());
      } else {
        value_ = text;
        return *value_;
      }
    }
  }
  value_ = random();
  store();
  return *value_;
}

void GADAdvertisingIdentifier::reset() {
  value_ = random();
  store();
}

void GADAdvertisingIdentifier::store() {
  if (!file_) return;
  std::error_code error;
  std::filesystem::create_directories(file_->parent_path(), error);
  const std::string text = *value_ + "\n";
  auto written = platform::FileManager::writeAtomically(
      *file_, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  if (!written) {
    platform::log("The advertising identifier could not be kept (%s); it lasts until the application quits",
                  written.error().message.c_str());
    return;
  }
  // It is this user's: no one else needs to read it.
  std::filesystem::permissions(*file_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::replace, error);
}
