// The in-app browser: an ad's landing page full-screen in a web view, with
// a toolbar along the bottom edge (back, forward, reload or a spinner while
// a page loads, open the page in the desktop's browser, done). The screen
// is built on its first appearance; a page handed over before that waits.
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ads/fullscreen/GADBrowserControllerPrivate.h"
#include "ads/fullscreen/GADViewController.h"
#include "platform/URL.h"

namespace platform {
class BarButtonItem;
class Image;
class Toolbar;
class WebView;
}  // namespace platform

class GADBrowserController : public GADViewController {
 public:
  // The toolbar's height on a phone held upright and on a pad, and on a
  // phone on its side.
  static constexpr double kToolbarHeight = 44;
  static constexpr double kLandscapeToolbarHeight = 30;
  static constexpr double kItemWidth = 27;
  static constexpr double kSpinnerSize = 20;

  std::string className() const override { return "GADBrowserController"; }
  GADBrowserControllerPrivate* vars() const { return static_cast<GADBrowserControllerPrivate*>(privateData()); }
  platform::WebView* webView() const { return vars()->webView_.get(); }
  platform::Toolbar* toolbar() const { return vars()->toolbar_.get(); }

  // nullopt does nothing. The request carries "Referer" when a referrer is
  // given.
  void load(const std::optional<platform::URL>& url, const std::optional<platform::URL>& referringURL = std::nullopt);
  void back();
  void forward();
  void reload();
  void stop();
  // Hands the page now shown to the desktop's browser.
  void openInSafari();
  void refreshToolbar();

  void viewWillAppear(platform::Animated animated) override;
  void didRotateFromInterfaceOrientation(int from) override;

 protected:
  friend class GADViewController;
  GADBrowserController() = default;
  std::shared_ptr<GADViewControllerPrivate> createPrivateData() override;
  Kind kind() const override { return Kind::Browser; }

 private:
  void createToolbarButtons();
  std::shared_ptr<platform::BarButtonItem> buttonWithImage(std::shared_ptr<const platform::Image> image,
                                                           const std::string& name, int width, bool enabled,
                                                           void (GADBrowserController::*action)());
  // Runs `action` on this browser while it exists.
  std::function<void()> actionFor(void (GADBrowserController::*action)());
};
