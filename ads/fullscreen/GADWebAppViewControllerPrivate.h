// The web application's state: what waits to be loaded before its screen
// is built, the web view with its delegate, the close button, and the
// spinner shown until the first page has loaded.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ads/fullscreen/GADViewControllerPrivate.h"
#include "platform/URL.h"

namespace platform {
class ActivityIndicator;
class Button;
class WebView;
}  // namespace platform
class GADWebViewDelegate;

class GADWebAppViewControllerPrivate : public GADViewControllerPrivate {
 public:
  // Empties the web view first, which stops whatever the page was running.
  ~GADWebAppViewControllerPrivate() override;

  std::optional<platform::URL> urlToLoad_;
  std::optional<std::string> htmlToLoad_;
  std::optional<platform::URL> htmlBaseURLToLoad_;
  std::unique_ptr<GADWebViewDelegate> webViewDelegate_;
  std::shared_ptr<platform::WebView> webView_;
  std::shared_ptr<platform::Button> closeButton_;
  bool loaded_ = false;
  std::shared_ptr<platform::ActivityIndicator> loadingSpinner_;
};
