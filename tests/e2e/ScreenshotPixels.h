// A saved screenshot read back by its pixels, so a window test asserts
// what a person would look at in it.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class ScreenshotPixels {
 public:
  struct Colour {
    int r = 0, g = 0, b = 0;
    int luminance() const { return (r * 299 + g * 587 + b * 114) / 1000; }
    // Within `tolerance` of `other` on every channel.
    bool near(const Colour& other, int tolerance = 24) const {
      return std::abs(r - other.r) <= tolerance && std::abs(g - other.g) <= tolerance &&
             std::abs(b - other.b) <= tolerance;
    }
  };

  explicit ScreenshotPixels(const std::filesystem::path& png) {
    GError* error = nullptr;
    GdkTexture* texture = gdk_texture_new_from_filename(png.c_str(), &error);
    if (!texture) {
      if (error) g_error_free(error);
      return;
    }
    width_ = gdk_texture_get_width(texture);
    height_ = gdk_texture_get_height(texture);
    // Cairo's layout: 32-bit ARGB, premultiplied (opaque shots: as is).
    data_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    gdk_texture_download(texture, data_.data(), static_cast<gsize>(width_) * 4);
    g_object_unref(texture);
  }

  bool isLoaded() const { return !data_.empty(); }
  int width() const { return width_; }
  int height() const { return height_; }

  Colour at(int x, int y) const {
    const auto* p = &data_[(static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4];
    const std::uint32_t argb = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return Colour{static_cast<int>((argb >> 16) & 0xff), static_cast<int>((argb >> 8) & 0xff),
                  static_cast<int>(argb & 0xff)};
  }
  // Pixels of the rectangle (clipped to the shot) for which `test` holds.
  int count(int x, int y, int w, int h, const std::function<bool(const Colour&)>& test) const {
    int n = 0;
    for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
      for (int i = std::max(0, x); i < std::min(width_, x + w); ++i) n += test(at(i, j));
    return n;
  }
  // Pixels of the rectangle that differ from the same pixel of `other`.
  int countDifferent(const ScreenshotPixels& other, int x, int y, int w, int h) const {
    if (other.width_ != width_ || other.height_ != height_) return w * h;
    int n = 0;
    for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
      for (int i = std::max(0, x); i < std::min(width_, x + w); ++i) n += !at(i, j).near(other.at(i, j), 8);
    return n;
  }
  // The mean luminance of the rectangle.
  int meanLuminance(int x, int y, int w, int h) const {
    long sum = 0, n = 0;
    for (int j = std::max(0, y); j < std::min(height_, y + h); ++j)
      for (int i = std::max(0, x); i < std::min(width_, x + w); ++i, ++n) sum += at(i, j).luminance();
    return n ? static_cast<int>(sum / n) : -1;
  }
  static Colour fromHex(const std::string& hex) {
    const unsigned v = static_cast<unsigned>(std::stoul(hex.substr(hex[0] == '#' ? 1 : 0), nullptr, 16));
    return Colour{static_cast<int>((v >> 16) & 0xff), static_cast<int>((v >> 8) & 0xff), static_cast<int>(v & 0xff)};
  }

 private:
  int width_ = 0, height_ = 0;
  std::vector<std::uint8_t> data_;
};
