#include "platform/Image.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace platform {

namespace {
constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, size_t at) {
  return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8 |
         std::uint32_t{bytes[at + 3]};
}
}  // namespace

std::shared_ptr<const Image> Image::createFromPNG(std::span<const std::uint8_t> png, double scale) {
  // Signature, then the header chunk: length 13, "IHDR", width, height.
  constexpr size_t kHeaderEnd = 8 + 4 + 4 + 13;
  if (!(scale > 0) || !std::isfinite(scale) || png.size() < kHeaderEnd) return nullptr;
  if (!std::equal(kSignature.begin(), kSignature.end(), png.begin())) return nullptr;
  if (bigEndian32(png, 8) != 13 || !std::equal(png.begin() + 12, png.begin() + 16, "IHDR")) return nullptr;
  const std::uint32_t width = bigEndian32(png, 16);
  const std::uint32_t height = bigEndian32(png, 20);
  // The format caps both at 2^31 - 1.
  if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff) return nullptr;
  return std::make_shared<const Image>(std::vector<std::uint8_t>(png.begin(), png.end()), width, height, scale);
}

}  // namespace platform
