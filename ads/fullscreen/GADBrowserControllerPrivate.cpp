#include "ads/fullscreen/GADBrowserControllerPrivate.h"

#include "ads/fullscreen/GADBrowserWebViewDelegate.h"
#include "platform/ActivityIndicator.h"
#include "platform/BarButtonItem.h"
#include "platform/Toolbar.h"
#include "platform/WebView.h"

GADBrowserControllerPrivate::~GADBrowserControllerPrivate() {
  if (webView_) webView_->setDelegate(nullptr);
  webViewDelegate_.reset();
  if (webView_) webView_->loadHTMLStringBaseURL("", std::nullopt);
  webView_.reset();
}
