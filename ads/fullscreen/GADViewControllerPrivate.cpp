#include "ads/fullscreen/GADViewControllerPrivate.h"

#include "ads/core/GADDelegateManager.h"
#include "platform/WebView.h"

GADViewControllerPrivate::~GADViewControllerPrivate() = default;

platform::WebView* GADViewControllerPrivate::openingWebView() const {
  return static_cast<platform::WebView*>(openingWebView_.lock().get());
}

void GADViewControllerPrivate::setOpeningWebView(platform::WebView* webView) {
  openingWebView_ = webView ? webView->weak_from_this() : std::weak_ptr<platform::View>();
}

const std::shared_ptr<GADDelegateManager>& GADViewControllerPrivate::delegateManager() {
  if (!delegateManager_) delegateManager_ = std::make_shared<GADDelegateManager>();
  return delegateManager_;
}
