#include "ads/request/GADSignalsProvider.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "BuildConfig.h"
#include "ads/codec/GTMStringEncoding.h"
#include "platform/Clock.h"
#include "platform/Crypto.h"
#include "platform/ProcessWide.h"

namespace {

constexpr std::uint8_t kVersion = 1;
constexpr size_t kRecordBytes = 32;

std::unique_ptr<GADSignalsProvider>& sharedSlot() {
  return platform::processWide<std::unique_ptr<GADSignalsProvider>>();
}

// The signals key: MD5 of "signals:" and the location key's text, so the
// build carries one secret.
platform::Crypto::Key signalsKey() {
  const std::string material = std::string("signals:") + config::kLocationKey;
  return platform::Crypto::md5(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(material.data()), material.size()));
}

GTMStringEncoding websafe() {
  auto encoding = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  encoding.setDoPad(false);
  return encoding;
}

void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= std::uint32_t(p[i]) << (8 * i);
  return v;
}

}  // namespace

GADSignalsProvider& GADSignalsProvider::shared() {
  auto& slot = sharedSlot();
  if (!slot) slot = std::make_unique<GADSignalsProvider>();
  return *slot;
}

void GADSignalsProvider::resetForTesting() { sharedSlot().reset(); }

void GADSignalsProvider::setRequest(int requestType, const std::string& sdkVersion) {
  requestType_ = requestType;
  sdkVersion_ = sdkVersion;
}

void GADSignalsProvider::recordTouch(int x, int y, int duration) {
  ++touchCount_;
  lastX_ = x;
  lastY_ = y;
  lastDuration_ = duration;
}

std::optional<std::string> GADSignalsProvider::encode(std::uint8_t kind, std::uint64_t clickHash) const {
  std::uint8_t record[kRecordBytes] = {};
  record[0] = kVersion;
  record[1] = kind;
  put32(record + 2, static_cast<std::uint32_t>(requestType_));
  put32(record + 6, touchCount_);
  put32(record + 10, static_cast<std::uint32_t>(lastX_));
  put32(record + 14, static_cast<std::uint32_t>(lastY_));
  put32(record + 18, static_cast<std::uint32_t>(lastDuration_));
  put32(record + 22, static_cast<std::uint32_t>(platform::Clock::now()));
  std::memcpy(record + 26, &clickHash, 6);
  const auto iv = platform::Crypto::randomBlock();
  auto cipher = platform::Crypto::aes128CBCEncrypt(signalsKey(), iv, record);
  if (!cipher) return std::nullopt;
  // The vector, then the ciphertext: one buffer sized once.
  std::vector<std::uint8_t> bytes(iv.size() + cipher->size());
  std::copy(iv.begin(), iv.end(), bytes.begin());
  std::copy(cipher->begin(), cipher->end(), bytes.begin() + static_cast<std::ptrdiff_t>(iv.size()));
  return websafe().encode(bytes);
}

std::optional<GADSignalsProvider::Record> GADSignalsProvider::decodeSignal(std::string_view text) {
  auto bytes = websafe().decode(text);
  if (!bytes || bytes->size() != 16 + kRecordBytes) return std::nullopt;
  platform::Crypto::Block iv{};
  std::memcpy(iv.data(), bytes->data(), 16);
  auto plain = platform::Crypto::aes128CBCDecrypt(
      signalsKey(), iv, std::span<const std::uint8_t>(bytes->data() + 16, kRecordBytes));
  if (!plain || (*plain)[0] != kVersion) return std::nullopt;
  const std::uint8_t* p = plain->data();
  Record record;
  record.version = p[0];
  record.kind = p[1];
  record.requestType = static_cast<std::int32_t>(get32(p + 2));
  record.touchCount = get32(p + 6);
  record.lastX = static_cast<std::int32_t>(get32(p + 10));
  record.lastY = static_cast<std::int32_t>(get32(p + 14));
  record.lastDuration = static_cast<std::int32_t>(get32(p + 18));
  record.seconds = get32(p + 22);
  std::memcpy(&record.clickHash, p + 26, 6);
  return record;
}

std::optional<std::string> GADSignalsProvider::requestSignal() const {
  auto text = encode(1, 0);
  if (!text) return std::nullopt;
  return "ms=" + *text;
}

std::optional<std::string> GADSignalsProvider::clickSignal(std::string_view clickString) const {
  const auto digest = platform::Crypto::md5(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(clickString.data()), clickString.size()));
  std::uint64_t hash = 0;
  std::memcpy(&hash, digest.data(), 6);
  auto text = encode(2, hash);
  if (!text) return std::nullopt;
  return "sg=" + *text;
}

void gad_gig(int requestType, const std::string& sdkVersion) {
  GADSignalsProvider::shared().setRequest(requestType, sdkVersion);
}

int gad_gmrs(std::string& out) {
  auto signal = GADSignalsProvider::shared().requestSignal();
  if (!signal) return 0;
  out += *signal;
  return 1;
}

int gad_gmcs(const std::string& clickString, std::string& out) {
  auto signal = GADSignalsProvider::shared().clickSignal(clickString);
  if (!signal) return 0;
  out += *signal;
  return 1;
}

void gad_htg(int x, int y, int duration) { GADSignalsProvider::shared().recordTouch(x, y, duration); }
