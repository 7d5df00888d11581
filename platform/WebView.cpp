#include "platform/WebView.h"

#include "platform/PeerFactory.h"
#include "platform/RunLoop.h"

namespace platform {

std::shared_ptr<WebView> WebView::create(const Rect& frame) { return View::make<WebView>(frame); }

std::unique_ptr<ViewPeer> WebView::makePeer(PeerFactory& peers) {
  auto self = std::static_pointer_cast<WebView>(shared_from_this());
  auto peer = peers.createWebViewPeer(std::weak_ptr<WebViewClient>(self));
  webPeer_ = peer.get();
  return peer;
}

void WebView::loadHTMLStringBaseURL(const std::string& html, const std::optional<URL>& baseURL) {
  if (!webPeer_) return;
  loadAsked_ = true;
  webPeer_->loadHTMLString(html, baseURL);
}

void WebView::loadRequest(const URLRequest& request) {
  if (!webPeer_) return;
  loadAsked_ = true;
  webPeer_->loadRequest(request);
}

void WebView::evaluateJavaScript(const std::string& script, WebViewPeer::ScriptResult done) {
  // Toolkits run the client's scripts as if the user had acted: whatever
  // the page does from here on borrows no earlier input.
  lastUserInput_.reset();
  if (webPeer_) webPeer_->evaluateJavaScript(script, std::move(done));
}

void WebView::goBack() {
  if (webPeer_) webPeer_->goBack();
}
void WebView::goForward() {
  if (webPeer_) webPeer_->goForward();
}
void WebView::reload() {
  if (webPeer_) webPeer_->reload();
}
void WebView::stopLoading() {
  if (webPeer_) webPeer_->stopLoading();
}
bool WebView::canGoBack() const { return webPeer_ && webPeer_->canGoBack(); }
bool WebView::canGoForward() const { return webPeer_ && webPeer_->canGoForward(); }
bool WebView::isLoading() const { return webPeer_ && (loadAsked_ || webPeer_->isLoading()); }
std::optional<URL> WebView::currentURL() const { return webPeer_ ? webPeer_->currentURL() : std::nullopt; }

// The delegate may release this web view from inside its callback: the
// peer's caller holds a reference for the length of each call.
void WebView::noteUserInput() { lastUserInput_ = RunLoop::main().now(); }

std::optional<double> WebView::secondsSinceUserInput() const {
  if (!lastUserInput_) return std::nullopt;
  return RunLoop::main().now() - *lastUserInput_;
}

bool WebView::peerShouldStartLoad(const URLRequest& request, NavigationType type, const NavigationAction& action) {
  navigationAction_ = action;
  const bool allowed = !delegate_ || delegate_->webViewShouldStartLoadWithRequestNavigationType(*this, request, type);
  navigationAction_ = NavigationAction{};
  // A refused load never starts: nothing is on its way any more.
  if (!allowed) loadAsked_ = false;
  return allowed;
}

bool WebView::peerShouldCommitMainFrameLoad(const std::optional<URL>& url) {
  return !delegate_ || delegate_->webViewShouldCommitMainFrameLoad(*this, url);
}

void WebView::peerDidStartLoad() {
  loadAsked_ = false;
  if (delegate_) delegate_->webViewDidStartLoad(*this);
}

void WebView::peerDidFinishLoad() {
  loadAsked_ = false;
  if (delegate_) delegate_->webViewDidFinishLoad(*this);
}

void WebView::peerDidFailLoad(const Error& error) {
  loadAsked_ = false;
  if (delegate_) delegate_->webViewDidFailLoadWithError(*this, error);
}

}  // namespace platform
