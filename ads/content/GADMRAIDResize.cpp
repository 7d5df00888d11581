#include "ads/content/GADMRAIDResize.h"

#include <cmath>

#include "platform/NumberText.h"

namespace {

bool inside(const platform::Rect& r, const platform::Rect& window) {
  return r.x() >= window.x() && r.y() >= window.y() && r.x() + r.width() <= window.x() + window.width() &&
         r.y() + r.height() <= window.y() + window.height();
}

}  // namespace

std::optional<GADMRAIDResize::Properties> GADMRAIDResize::parse(const platform::Dictionary& parameters) {
  auto number = [&](const char* key) -> std::optional<double> {
    const platform::Value* value = parameters.find(key);
    const std::string* text = value ? value->asString() : nullptr;
    if (!text) return std::nullopt;
    auto parsed = platform::NumberText::parse(*text);
    if (!parsed || !std::isfinite(*parsed)) return std::nullopt;
    return parsed;
  };
  auto width = number("width"), height = number("height"), x = number("offsetx"), y = number("offsety");
  if (!width || !height || !x || !y) return std::nullopt;
  Properties properties{*width, *height, *x, *y, true};
  if (const platform::Value* allow = parameters.find("allowoffscreen")) {
    const std::string* text = allow->asString();
    if (!text || (*text != "true" && *text != "false")) return std::nullopt;
    properties.allowOffscreen = *text == "true";
  }
  return properties;
}

std::variant<platform::Rect, std::string> GADMRAIDResize::place(const Properties& p, const platform::Rect& defaultFrame,
                                                                const platform::Rect& window) {
  if (p.width < kMinimumPoints || p.height < kMinimumPoints) return std::string("smaller than 50 x 50");
  if (p.width > kMaximumPoints || p.height > kMaximumPoints || std::abs(p.offsetX) > kMaximumPoints ||
      std::abs(p.offsetY) > kMaximumPoints)
    return std::string("too large");
  const platform::Rect frame(defaultFrame.x() + p.offsetX, defaultFrame.y() + p.offsetY, p.width, p.height);
  if (!p.allowOffscreen && !inside(frame, window)) return std::string("off the screen");
  const platform::Rect close(frame.x() + frame.width() - kCloseRegionPoints, frame.y(), kCloseRegionPoints,
                             kCloseRegionPoints);
  if (!inside(close, window)) return std::string("its close region off the screen");
  return frame;
}
