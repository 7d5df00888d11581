#include "ads/fullscreen/GADIntrinsicImages.h"

#include "ads/codec/GTMStringEncoding.h"
#include "ads/fullscreen/GADIntrinsicImageData.h"
#include "platform/Image.h"

#include <unordered_map>

namespace {
constexpr double kArtworkScale = 2.0;

// Built once; never freed, as the screens may ask again at any time.
const std::shared_ptr<const platform::Image>& cached(const char* base64) {
  static auto* images = new std::unordered_map<const char*, std::shared_ptr<const platform::Image>>();
  auto [it, inserted] = images->try_emplace(base64);
  if (inserted) it->second = GADIntrinsicImages::createImageFromEncoding(base64);
  return it->second;
}
}  // namespace

std::shared_ptr<const platform::Image> GADIntrinsicImages::createImageFromEncoding(std::string_view base64) {
  const auto bytes = GTMStringEncoding::rfc4648Base64StringEncoding().decode(base64);
  if (!bytes) return nullptr;
  return platform::Image::createFromPNG(*bytes, kArtworkScale);
}

std::shared_ptr<const platform::Image> GADIntrinsicImages::closeButton() { return cached(kGADCloseButtonPNGBase64); }

std::shared_ptr<const platform::Image> GADIntrinsicImages::browserForwardButton() {
  return cached(kGADBrowserForwardButtonPNGBase64);
}

std::shared_ptr<const platform::Image> GADIntrinsicImages::browserBackButton() {
  return cached(kGADBrowserBackButtonPNGBase64);
}
