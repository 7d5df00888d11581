#include "ads/fullscreen/GADViewControllerPrivate.h"

#include "ads/core/GADDelegateManager.h"
#include "platform/WebView.h"

GADViewControllerPrivate::~GADViewControllerPrivate() = default;

platform::WebView* GADViewControllerPrivate::openingWebView() const { return openingPage_.webView(); }

void GADViewControllerPrivate::setOpeningWebView(platform::WebView* webView) {
  openingPage_ = GADOpeningPage(webView);
}

const std::shared_ptr<GADDelegateManager>& GADViewControllerPrivate::delegateManager() {
  if (!delegateManager_) delegateManager_ = std::make_shared<GADDelegateManager>();
  return delegateManager_;
}
