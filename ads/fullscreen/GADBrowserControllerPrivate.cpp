#include "ads/fullscreen/GADBrowserControllerPrivate.h"

#include "ads/fullscreen/GADBrowserWebViewDelegate.h"
#include "platform/ActivityIndicator.h"
#include "platform/BarButtonItem.h"
#include "platform/Toolbar.h"
#include "platform/WebView.h"

GADBrowserControllerPrivate::~GADBrowserControllerPrivate() {
  if (webView_) webView_->setDelegate(nullptr);
  webViewDelegate_.reset();
  // The page's process is this browser's own: ended, whatever the page
  // was playing or running stops, a script that never returns too (an
  // empty page would wait behind it).
  if (webView_) webView_->terminateWebProcess();
  webView_.reset();
}
