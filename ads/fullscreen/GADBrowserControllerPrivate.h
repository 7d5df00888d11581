// The in-app browser's state: what waits to be loaded before its screen is
// built, the web view with its delegate, and the toolbar with its items.
#pragma once

#include <memory>
#include <optional>

#include "ads/fullscreen/GADViewControllerPrivate.h"
#include "platform/URL.h"

namespace platform {
class ActivityIndicator;
class BarButtonItem;
class Toolbar;
class WebView;
}  // namespace platform
class GADBrowserWebViewDelegate;

class GADBrowserControllerPrivate : public GADViewControllerPrivate {
 public:
  // Ends the page's process first, which stops whatever the landing page
  // was playing or running.
  ~GADBrowserControllerPrivate() override;

  std::optional<platform::URL> urlToLoad_;
  std::optional<platform::URL> referringURLToLoad_;
  std::unique_ptr<GADBrowserWebViewDelegate> webViewDelegate_;
  std::shared_ptr<platform::WebView> webView_;
  std::shared_ptr<platform::Toolbar> toolbar_;
  std::shared_ptr<platform::BarButtonItem> flexibleSpaceButton_;
  std::shared_ptr<platform::BarButtonItem> backButton_;
  std::shared_ptr<platform::BarButtonItem> forwardButton_;
  std::shared_ptr<platform::BarButtonItem> reloadButton_;
  std::shared_ptr<platform::BarButtonItem> safariButton_;
  std::shared_ptr<platform::BarButtonItem> doneButton_;
  std::shared_ptr<platform::BarButtonItem> spinnerContainingButton_;
  std::shared_ptr<platform::ActivityIndicator> spinner_;
};
