// A location hint for ad requests: coordinates with an accuracy, or free
// text, with the time it was set; it becomes the request's "uule" text.
// Immutable apart from its timestamp.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class GADLocation {
 public:
  // Null unless the coordinates are a precise location.
  static std::shared_ptr<GADLocation> createWithLatitudeLongitudeAccuracy(float latitude, float longitude,
                                                                          float accuracy);
  // Null for empty text.
  static std::shared_ptr<GADLocation> createWithDescription(const std::string& description);

  float latitude() const { return latitude_; }
  float longitude() const { return longitude_; }
  float accuracy() const { return accuracy_; }
  double timestamp() const { return timestamp_; }
  void setTimestamp(double seconds) { timestamp_ = seconds; }

  // |lat| <= 90, |lng| <= 180, and neither within float epsilon of 0.
  bool isPreciseLocation() const;
  // The text, or "%f,%f" of a precise location, or "".
  std::string description() const;
  bool isEqual(const GADLocation* other) const;
  std::shared_ptr<GADLocation> copy() const;

  // "e1+..." (precise, enciphered) or "a+..." (text); nullopt when the
  // cipher fails.
  std::optional<std::string> oolongRepresentation() const;

  // The location key of the build, as bytes.
  static std::array<std::uint8_t, 16> locationKey();

 private:
  GADLocation() = default;
  std::optional<std::string> preciseRepresentation() const;
  std::string textRepresentation() const;

  float latitude_ = 0;
  float longitude_ = 0;
  float accuracy_ = 0;
  std::optional<std::string> description_;
  double timestamp_ = 0;
};
