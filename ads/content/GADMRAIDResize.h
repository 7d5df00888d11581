// Where a rich-media ad may resize itself to, decided here and nowhere
// else: the page's own checks are a courtesy to it, never trusted.
//
// The page names a size and an offset from the ad's default place, and
// whether the ad may lie partly off the window. Refused: a size under
// 50 x 50 points or past kMaximumPoints, a value that is not a finite
// number, an ad off the window without leave, and, in any case, a close
// region (the 50 x 50 top-right corner of the resized ad, where the
// client puts its close control) off the window.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "platform/Geometry.h"
#include "platform/Value.h"

class GADMRAIDResize {
 public:
  static constexpr double kMinimumPoints = 50;
  static constexpr double kMaximumPoints = 10000;
  static constexpr double kCloseRegionPoints = 50;

  struct Properties {
    double width = 0, height = 0, offsetX = 0, offsetY = 0;
    bool allowOffscreen = true;
  };
  // From the page's message: "width", "height", "offsetX", "offsetY" as
  // numbers, "allowOffscreen" "true" or "false" (true when left out);
  // nullopt when one is missing or not a finite number.
  static std::optional<Properties> parse(const platform::Dictionary& parameters);
  // The resized ad's frame in the window, or why it is refused.
  static std::variant<platform::Rect, std::string> place(const Properties& properties,
                                                         const platform::Rect& defaultFrame,
                                                         const platform::Rect& window);
};
