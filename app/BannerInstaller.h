// Puts a banner along the bottom of a screen and starts loading it: what
// both screens do when their view loads.
#pragma once

#include <memory>

namespace platform {
class ViewController;
}
class GADBannerView;

class BannerInstaller {
 public:
  static constexpr float kBannerWidth = 320;
  static constexpr float kBannerHeight = 50;

  // Reads the screen's root view frame once, makes a 320 x 50 banner at its
  // bottom edge with the application's ad unit, `screen` as its root view
  // controller and the banner watcher as its delegate (the window now
  // awaits an ad), adds it to the root view and loads a default request.
  static std::shared_ptr<GADBannerView> install(platform::ViewController& screen);
};
