// The full-screen web application: an ad's own page, from a URL or from
// HTML text, covering the whole application on a transparent web view,
// with a small close button in the top-left corner and a spinner until the
// first page has loaded. The page hears "onshow" once and "onhide" at every
// disappearance. The screen is built on its first appearance; content
// handed over before that waits (a URL wins over HTML). Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ads/fullscreen/GADViewController.h"
#include "ads/fullscreen/GADWebAppViewControllerPrivate.h"
#include "platform/URL.h"

namespace platform {
class WebView;
}
class GADWebAppWebViewDelegate;

class GADWebAppViewController : public GADViewController {
 public:
  static constexpr double kCloseButtonInset = 4;
  static constexpr double kSpinnerSize = 20;

  std::string className() const override { return "GADWebAppViewController"; }
  GADWebAppViewControllerPrivate* vars() const { return static_cast<GADWebAppViewControllerPrivate*>(privateData()); }
  platform::WebView* webView() const { return vars()->webView_.get(); }
  // Null until the screen is built.
  GADWebAppWebViewDelegate* webViewDelegate() const;

  // nullopt does nothing.
  void load(const std::optional<platform::URL>& url);
  void loadHTMLBaseURL(const std::optional<std::string>& html, const std::optional<platform::URL>& baseURL);

  void viewWillAppear(platform::Animated animated) override;
  void viewDidAppear(platform::Animated animated) override;
  void viewDidDisappear(platform::Animated animated) override;
  void didRotateFromInterfaceOrientation(int from) override;

 protected:
  friend class GADViewController;
  GADWebAppViewController() = default;
  void init() override;
  std::shared_ptr<GADViewControllerPrivate> createPrivateData() override;
  Kind kind() const override { return Kind::WebApplication; }
};
