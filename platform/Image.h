// A bitmap image held as the PNG bytes it came from, at a scale: a PNG of
// 50 x 50 pixels at scale 2 is 25 x 25 points. The toolkit makes its own
// texture from the bytes when it shows the image. Immutable.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/Geometry.h"

namespace platform {

class Image {
 public:
  // Null unless `png` starts with a PNG signature and a well-formed header
  // chunk of non-zero size, and `scale` is positive.
  static std::shared_ptr<const Image> createFromPNG(std::span<const std::uint8_t> png, double scale = 1);

  Image(std::vector<std::uint8_t> png, std::uint32_t pixelWidth, std::uint32_t pixelHeight, double scale)
      : png_(std::move(png)), pixelWidth_(pixelWidth), pixelHeight_(pixelHeight), scale_(scale) {}

  const std::vector<std::uint8_t>& pngBytes() const { return png_; }
  std::uint32_t pixelWidth() const { return pixelWidth_; }
  std::uint32_t pixelHeight() const { return pixelHeight_; }
  double scale() const { return scale_; }
  // The size in points.
  Size size() const { return {pixelWidth_ / scale_, pixelHeight_ / scale_}; }

 private:
  std::vector<std::uint8_t> png_;
  std::uint32_t pixelWidth_;
  std::uint32_t pixelHeight_;
  double scale_;
};

}  // namespace platform
