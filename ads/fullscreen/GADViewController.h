// The base of every screen the ad client lays over the whole application
// (the in-app browser, the full-screen web application). It presents
// itself modally over the application or over another ad screen, hides the
// status bar while it covers the application, tells the ad's delegate
// manager, posts the two process-wide notifications that pause every
// banner's refresh, limits autorotation to what the ad asked for, and ends
// the landing-page timings when it goes.
//
// Its state lives in a GADViewControllerPrivate in the private-object
// registry. Made with create<T>(), since the private data comes from a
// virtual operation. Once presented it keeps itself alive until
// relinquishScreen gives that reference up. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ads/fullscreen/GADRelinquishableScreen.h"
#include "ads/fullscreen/GADViewControllerPrivate.h"
#include "platform/DeferredCall.h"
#include "platform/ViewController.h"

namespace platform {
struct Notification;
class WebView;
}  // namespace platform
class GADWebViewDelegate;

// The "settings" message's entry.
inline constexpr const char* kGADSupportedOrientationsKey = "supportedorientations";

class GADViewController : public platform::ViewController, public GADRelinquishableScreen {
 public:
  // The appearance steps run after this long where the platform did not
  // deliver them for a presentation from the given parent.
  static constexpr double kDeferredAppearanceSeconds = 0.6;

  template <class T>
  static std::shared_ptr<T> create() {
    std::shared_ptr<T> controller(new T());
    controller->init();
    return controller;
  }
  ~GADViewController() override;
  std::string className() const override { return "GADViewController"; }

  // The registered private data (subclasses read their own type from it).
  GADViewControllerPrivate* privateData() const;

  // Puts this screen up, unless an ad screen is up already: while one is,
  // only a web application may have one browser over it. A refused
  // presentation is logged and counted and keeps nothing alive.
  void presentFromViewController(platform::ViewController* parent);
  // Ad screens presented and not yet given back, in this process.
  static int presentedScreenCount();
  static void resetPresentedScreensForTesting();
  virtual void presentSelfFrom(platform::ViewController& parent);
  void relinquishScreen() override;
  // Escape closes the screen as its own Done or close control does.
  bool escapePressed() override;
  // False when the presenter is itself an ad screen.
  bool isFirstGADViewController() const;

  // "any" 1, "portrait" 2, "landscape" 3, anything else (nothing) 0.
  static std::int32_t orientationFromString(const std::string* text);
  void settingsChanged(const platform::Notification& message);
  bool shouldAutorotateToInterfaceOrientation(int orientation) const;

  void viewDidAppear(platform::Animated animated) override;
  void viewDidDisappear(platform::Animated animated) override;

  const std::shared_ptr<GADDelegateManager>& delegateManager() const { return privateData()->delegateManager(); }
  void setDelegateManager(std::shared_ptr<GADDelegateManager> manager) {
    privateData()->setDelegateManager(std::move(manager));
  }
  std::int32_t supportedOrientations() const { return privateData()->supportedOrientations(); }
  // 0 is ignored: the previous code stays.
  void setSupportedOrientations(std::int32_t code);
  platform::WebView* openingWebView() const { return privateData()->openingWebView(); }
  void setOpeningWebView(platform::WebView* webView) { privateData()->setOpeningWebView(webView); }
  bool statusBarWasHidden() const { return privateData()->statusBarWasHidden(); }

  // The part a screen plays in the rule of one ad screen at a time, and
  // whether its page may reach the page that opened it ("evalInOpener").
  enum class Kind { Plain, Browser, WebApplication, ExpandedAd };
  // Whether a new screen of `kind` would be presented over `parent` now:
  // one ad screen at a time, and over the web application or an expanded
  // ad its one browser (their pages' landing page).
  // Asked before an opening counts as a click.
  static bool admitsScreenOver(Kind kind, platform::ViewController* parent);

 protected:
  virtual Kind kind() const { return Kind::Plain; }

  GADViewController() = default;
  virtual std::shared_ptr<GADViewControllerPrivate> createPrivateData();
  // Makes `delegate` the web view's: this screen is its view controller,
  // this screen's delegate manager hears of a link that leaves the
  // application from the page, and a web application's page has this
  // screen's opening web view as its opener (no other page has one).
  void attachWebViewDelegate(GADWebViewDelegate& delegate, platform::WebView& webView);
  // Runs once, right after construction: subclasses extend it.
  virtual void init();

 private:
  bool admitsPresentationOver(platform::ViewController& parent) const;
  // Whether `sender` of a message is this screen's root view or a view in it.
  bool isOwnView(const void* sender) const;

  // Held from presentation until relinquishing.
  std::shared_ptr<GADViewController> self_;
  // Whether this screen was presented over the application (it told the
  // delegate manager so): only such a screen reports its dismissal.
  bool presentedOverApplication_ = false;
  platform::DeferredCall deferredAppearance_;
};
