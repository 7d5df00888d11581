// The built-in button artwork: the web application's close button and the
// browser's two arrows, each decoded from its base64 PNG text on first use
// at scale 2 (1 point = 2 pixels) and then kept for the life of the
// process. Main thread only.
#pragma once

#include <memory>
#include <string_view>

namespace platform {
class Image;
}

class GADIntrinsicImages {
 public:
  // 25 x 25 points.
  static std::shared_ptr<const platform::Image> closeButton();
  // 27 x 27 points each.
  static std::shared_ptr<const platform::Image> browserForwardButton();
  static std::shared_ptr<const platform::Image> browserBackButton();
  // Base64 PNG text to an image at scale 2; null when either decoding fails.
  static std::shared_ptr<const platform::Image> createImageFromEncoding(std::string_view base64);
};
