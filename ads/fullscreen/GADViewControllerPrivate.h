// The state of a full-screen ad screen, kept apart from the controller in
// the private-object registry; the screens of the browser and the web
// application keep subclasses of it.
#pragma once

#include <cstdint>
#include <memory>

#include "ads/content/GADOpeningPage.h"

namespace platform {
class View;
class WebView;
}  // namespace platform
class GADDelegateManager;

class GADViewControllerPrivate {
 public:
  virtual ~GADViewControllerPrivate();

  std::int32_t supportedOrientations() const { return supportedOrientations_; }
  void setSupportedOrientations(std::int32_t code) { supportedOrientations_ = code; }
  // Not retained: the page the web view shows when it is set (the ad page
  // that opened this screen); null once the web view has gone or loaded
  // another.
  platform::WebView* openingWebView() const;
  void setOpeningWebView(platform::WebView* webView);
  // Made on first read when none was set: never null.
  const std::shared_ptr<GADDelegateManager>& delegateManager();
  void setDelegateManager(std::shared_ptr<GADDelegateManager> manager) { delegateManager_ = std::move(manager); }
  bool statusBarWasHidden() const { return statusBarWasHidden_; }
  void setStatusBarWasHidden(bool hidden) { statusBarWasHidden_ = hidden; }
  bool appClosing() const { return appClosing_; }
  void setAppClosing(bool closing) { appClosing_ = closing; }
  // True while a transition between the application and the screen runs.
  bool interactingWithParent() const { return interactingWithParent_; }
  void setInteractingWithParent(bool interacting) { interactingWithParent_ = interacting; }

 private:
  std::int32_t supportedOrientations_ = 1;
  GADOpeningPage openingPage_;
  std::shared_ptr<GADDelegateManager> delegateManager_;
  bool statusBarWasHidden_ = false;
  bool appClosing_ = false;
  bool interactingWithParent_ = false;
};
