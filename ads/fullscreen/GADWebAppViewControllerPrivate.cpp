#include "ads/fullscreen/GADWebAppViewControllerPrivate.h"

#include "ads/content/GADWebViewDelegate.h"
#include "platform/ActivityIndicator.h"
#include "platform/Button.h"
#include "platform/WebView.h"

GADWebAppViewControllerPrivate::~GADWebAppViewControllerPrivate() {
  if (webView_) webView_->setDelegate(nullptr);
  webViewDelegate_.reset();
  if (webView_) webView_->loadHTMLStringBaseURL("", std::nullopt);
  webView_.reset();
}
