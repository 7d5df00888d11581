#include "ads/request/GADLocation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "BuildConfig.h"
#include "ads/codec/GTMStringEncoding.h"
#include "platform/Clock.h"
#include "platform/Crypto.h"
#include "platform/NumberText.h"

namespace {

constexpr float kEpsilon = 1.1920929e-7f;

// Truncated toward zero and clamped to the 32-bit range.
std::int32_t clamp32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

GTMStringEncoding unpaddedWebsafe() {
  auto encoding = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  encoding.setDoPad(false);
  return encoding;
}

}  // namespace

std::array<std::uint8_t, 16> GADLocation::locationKey() {
  std::array<std::uint8_t, 16> key{};
  const char* hex = config::kLocationKey;
  for (size_t i = 0; i < 16 && hex[2 * i] && hex[2 * i + 1]; ++i) {
    unsigned value = 0;
    std::sscanf(hex + 2 * i, "%2x", &value);
    key[i] = static_cast<std::uint8_t>(value);
  }
  return key;
}

std::shared_ptr<GADLocation> GADLocation::createWithLatitudeLongitudeAccuracy(float latitude, float longitude,
                                                                              float accuracy) {
  std::shared_ptr<GADLocation> location(new GADLocation());
  location->latitude_ = latitude;
  location->longitude_ = longitude;
  location->accuracy_ = accuracy;
  location->timestamp_ = platform::Clock::now();
  if (!location->isPreciseLocation()) return nullptr;
  return location;
}

std::shared_ptr<GADLocation> GADLocation::createWithDescription(const std::string& description) {
  if (description.empty()) return nullptr;
  std::shared_ptr<GADLocation> location(new GADLocation());
  location->description_ = description;
  location->timestamp_ = platform::Clock::now();
  return location;
}

bool GADLocation::isPreciseLocation() const {
  const float lat = std::fabs(latitude_), lng = std::fabs(longitude_);
  return lat <= 90.0f && lng <= 180.0f && lat > kEpsilon && lng > kEpsilon;
}

std::string GADLocation::description() const {
  if (description_) return *description_;
  if (!isPreciseLocation()) return "";
  return platform::NumberText::fixed(static_cast<double>(latitude_), 6) + "," +
         platform::NumberText::fixed(static_cast<double>(longitude_), 6);
}

bool GADLocation::isEqual(const GADLocation* other) const {
  if (!other || other->isPreciseLocation() != isPreciseLocation()) return false;
  if (isPreciseLocation())
    return std::fabs(latitude_ - other->latitude_) < kEpsilon && std::fabs(longitude_ - other->longitude_) < kEpsilon &&
           std::fabs(accuracy_ - other->accuracy_) < kEpsilon;
  return description() == other->description();
}

std::shared_ptr<GADLocation> GADLocation::copy() const {
  auto copy = isPreciseLocation() ? createWithLatitudeLongitudeAccuracy(latitude_, longitude_, accuracy_)
                                  : createWithDescription(description());
  if (copy) copy->timestamp_ = timestamp_;
  return copy;
}

std::optional<std::string> GADLocation::oolongRepresentation() const {
  if (isPreciseLocation()) return preciseRepresentation();
  return textRepresentation();
}

std::optional<std::string> GADLocation::preciseRepresentation() const {
  const double microseconds = timestamp_ * 1000000.0;
  char text[256];
  std::snprintf(text, sizeof text,
                "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: %.0f "
                "latlng <latitude_e7: %ld longitude_e7: %ld> radius: %ld",
                microseconds, static_cast<long>(clamp32(static_cast<double>(latitude_) * 10000000.0)),
                static_cast<long>(clamp32(static_cast<double>(longitude_) * 10000000.0)),
                static_cast<long>(clamp32(static_cast<double>(accuracy_) * 1000.0)));
  std::string filled = text;
  const size_t fill = 16 - filled.size() % 16;
  filled.append(fill, static_cast<char>(fill));

  platform::Crypto::Block iv{};
  const double seconds = timestamp_;
  for (int i = 0; i < 4; ++i) {
    const std::int32_t value = clamp32(seconds * (i + 1));
    for (int b = 0; b < 4; ++b) iv[static_cast<size_t>(4 * i + b)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * b));
  }
  auto cipher = platform::Crypto::aes128CBCEncrypt(
      locationKey(), iv,
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(filled.data()), filled.size()));
  if (!cipher) return std::nullopt;
  // The vector, then the ciphertext: one buffer sized once.
  std::vector<std::uint8_t> output(iv.size() + cipher->size());
  std::copy(iv.begin(), iv.end(), output.begin());
  std::copy(cipher->begin(), cipher->end(), output.begin() + static_cast<std::ptrdiff_t>(iv.size()));
  return "e1+" + unpaddedWebsafe().encode(output);
}

std::string GADLocation::textRepresentation() const {
  std::string place = description();
  for (char& c : place)
    if (c == '"') c = '\'';
  char head[160];
  std::snprintf(head, sizeof head,
                "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: %.0f loc: \"",
                timestamp_ * 1000000.0);
  const std::string text = std::string(head) + place + "\"";
  return "a+" + unpaddedWebsafe().encodeString(text);
}
