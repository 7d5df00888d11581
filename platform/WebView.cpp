#include "platform/WebView.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/ASCII.h"
#include "platform/Clock.h"
#include "platform/PeerFactory.h"
#include "platform/RunLoop.h"
#include "platform/UTF8.h"

namespace platform {

std::shared_ptr<WebView> WebView::create(const Rect& frame, WebProcessGroup group) {
  return View::make<WebView>(frame, group);
}

std::unique_ptr<ViewPeer> WebView::makePeer(PeerFactory& peers) {
  auto self = std::static_pointer_cast<WebView>(shared_from_this());
  auto peer = peers.createWebViewPeer(std::weak_ptr<WebViewClient>(self), group_);
  webPeer_ = peer.get();
  return peer;
}

void WebView::loadHTMLStringBaseURL(const std::string& html, const std::optional<URL>& baseURL) {
  if (!webPeer_) return;
  loadAsked_ = true;
  ++loadGeneration_;
  webPeer_->loadHTMLString(html, baseURL);
}

void WebView::loadRequest(const URLRequest& request) {
  if (!webPeer_) return;
  loadAsked_ = true;
  ++loadGeneration_;
  webPeer_->loadRequest(request);
}

void WebView::evaluateJavaScript(const std::string& script, WebViewPeer::ScriptResult done) {
  // Toolkits run the client's scripts as if the user had acted: whatever
  // the page does from here on borrows no earlier input.
  userActivation_.reset();
  if (!webPeer_) return;
  // The peer drops the answer when it goes, and this view goes with it.
  webPeer_->evaluateJavaScript(script, [this, asked = loadGeneration_, done = std::move(done)](
                                           std::optional<std::string> result) {
    if (asked == loadGeneration_ && done) done(std::move(result));
  });
}

// The toolkit sends a script's completion value, or its exception's text,
// from the page's process to ours, built by the page (a handler may return
// or throw a string of a gigabyte). The page's code runs inside a try
// whose catch keeps nothing, and the script ends on an expression a page
// cannot redefine. The line break ends a trailing comment of `statements`.
std::string WebView::scriptWithoutValue(const std::string& statements) {
  return "try{" + statements + "\n}catch(e){}void 0;";
}

void WebView::addMainFrameScript(const std::string& source) {
  if (webPeer_) webPeer_->addMainFrameScript(source);
}

void WebView::addScriptStandIn(const std::string& fileName, const std::string& source) {
  if (!webPeer_) return;
  webPeer_->blockScriptsNamed(fileName);
  webPeer_->addMainFrameScript(scriptStandIn(fileName, source));
}

// The blocked load fails at its element with an "error" event, which the
// page's own handlers never see: caught on its way down, it runs the
// stand-in (once per document) and becomes a "load". What the handler uses
// is taken before the page's scripts run, so a page that redefines it
// later does not reach into this. Its source runs inside a function: its
// names stay its own.
std::string WebView::scriptStandIn(const std::string& fileName, const std::string& source) {
  for (const char c : fileName) {
    if (!(ascii::isAlnum(c) || c == '.' || c == '-' || c == '_')) std::abort();
  }
  return "(function(){var name='" + fileName +
         "',ran=false,U=URL,E=Event,S=HTMLScriptElement,"
         "on=EventTarget.prototype.addEventListener,fire=EventTarget.prototype.dispatchEvent;"
         "function named(el){if(!(el instanceof S)||!el.src)return false;var p;"
         "try{p=new U(el.src).pathname;}catch(x){return false;}return p.slice(p.lastIndexOf('/')+1)===name;}"
         "on.call(window,'error',function(e){var el=e.target;if(!named(el))return;e.stopImmediatePropagation();"
         "if(!ran){ran=true;try{(function(){" +
         source + "\n})();}catch(x){}}fire.call(el,new E('load'));},true);})();";
}

void WebView::setResponsivenessProbe(double intervalSeconds, double deadlineSeconds) {
  probeInterval_ = intervalSeconds;
  probeDeadlineSeconds_ = deadlineSeconds;
  probe_.cancel();
  if (intervalSeconds > 0) probe_.schedule(intervalSeconds, [this] { probeResponsiveness(); });
}

void WebView::probeResponsiveness() {
  probe_.schedule(probeInterval_, [this] { probeResponsiveness(); });
  sendProbe();
}

void WebView::sendProbe() {
  if (!webPeer_) return;
  // One probe at a time: while one waits, its deadline runs (again, once
  // a dialog that held it has gone with its page).
  if (probeAskedAt_) {
    if (!probeDeadline_.isPending()) checkProbeDeadline();
    return;
  }
  probeAskedAt_ = Clock::monotonicSeconds();
  probeLastCheck_ = *probeAskedAt_;
  probeWaited_ = 0;
  checkProbeDeadline();
  // The peer drops the answer when it goes, and the view goes with it.
  webPeer_->probe([this, process = processGeneration_] {
    // A process that has ended no longer counts for the one after it.
    if (process != processGeneration_) return;
    probeAskedAt_.reset();
    probeDeadline_.cancel();
    // A page that answers has no dialog up any more.
    pageDialogShown_ = false;
  });
}

// The page's time to answer is counted in steps of the machine's clock, and
// only while this application's own loop keeps turning: a step that took
// far longer than it should (the loop was stalled: a first sound loading
// its plugins, a busy machine) counts nothing, since the page's answer may
// be waiting in the loop's queue right now. So a page is found hung only
// when it stays silent for the whole deadline while we were listening.
void WebView::checkProbeDeadline() {
  // A page waiting for its user's answer to a dialog runs no scripts.
  if (!probeAskedAt_ || pageDialogShown_) return;
  const double step = std::min(probeDeadlineSeconds_ / 5, kProbeStepSeconds);
  const double now = Clock::monotonicSeconds();
  const double elapsed = now - probeLastCheck_;
  probeLastCheck_ = now;
  if (elapsed <= 2 * step + kLoopStallSeconds) probeWaited_ += elapsed;
  if (probeWaited_ < probeDeadlineSeconds_) {
    probeDeadline_.schedule(std::min(step, probeDeadlineSeconds_ - probeWaited_), [this] { checkProbeDeadline(); });
    return;
  }
  reportUnresponsive();
}

void WebView::terminateWebProcess() {
  if (webPeer_) webPeer_->terminateWebProcess();
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
void WebView::setMediaPlaybackRequiresUserAction(bool required) {
  if (webPeer_) webPeer_->setMediaPlaybackRequiresUserAction(required);
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
void WebView::noteUserActivation() {
  userActivation_ = RunLoop::main().now();
  userActivationConsumed_ = false;
  ++userActivationCount_;
}

std::optional<double> WebView::secondsSinceUserActivation() const {
  if (!userActivation_) return std::nullopt;
  return RunLoop::main().now() - *userActivation_;
}

bool WebView::hasUserActivation() const {
  const auto since = secondsSinceUserActivation();
  return since && *since >= 0 && *since <= kUserActivationSeconds && !userActivationConsumed_;
}

bool WebView::consumeUserActivation() {
  if (!hasUserActivation()) return false;
  userActivationConsumed_ = true;
  return true;
}

bool WebView::peerShouldStartLoad(const URLRequest& request, NavigationType type, const NavigationAction& action) {
  navigationAction_ = action;
  // Without a delegate (one being torn down, one not yet set) nobody
  // decides for the page: it stays empty.
  const bool allowed = delegate_ ? delegate_->webViewShouldStartLoadWithRequestNavigationType(*this, request, type)
                                 : request.url().absoluteString() == "about:blank";
  navigationAction_ = NavigationAction{};
  // A refused load never starts: nothing is on its way any more.
  if (!allowed) {
    loadAsked_ = false;
    if (delegate_) delegate_->webViewDidRefuseLoad(*this);
  }
  return allowed;
}

bool WebView::peerShouldCommitMainFrameLoad(const std::optional<URL>& url) {
  return !delegate_ || delegate_->webViewShouldCommitMainFrameLoad(*this, url);
}

void WebView::peerDidStartLoad() {
  loadAsked_ = false;
  pageDialogShown_ = false;
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

void WebView::peerDidChangeHistory() {
  if (delegate_) delegate_->webViewDidChangeHistory(*this);
}

void WebView::peerDidChangeTitle() {
  if (delegate_) delegate_->webViewDidChangeTitle(*this);
}

std::string WebView::title() const { return webPeer_ ? boundedTitle(webPeer_->title()) : std::string(); }

std::string WebView::boundedTitle(std::string_view text) {
  std::string line;
  std::vector<size_t> starts;  // where each character of `line` begins
  bool space = false;          // white space waits until a character follows it
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    const auto byte = static_cast<unsigned char>(*p);
    size_t length = 1;
    bool blank = byte <= 0x20 || byte == 0x7f;
    if (byte >= 0x80) {
      length = utf8SequenceLength(p, end);
      if (length == 0) {  // not UTF-8: dropped
        ++p;
        continue;
      }
      blank = byte == 0xc2 && static_cast<unsigned char>(p[1]) < 0xa0;  // C1 controls
    }
    if (!blank) {
      if (space) {
        starts.push_back(line.size());
        line += ' ';
      }
      starts.push_back(line.size());
      line.append(p, length);
    }
    space = blank ? !line.empty() : false;
    p += length;
    if (starts.size() > kMaximumTitleCharacters) break;  // enough to know it is cut
  }
  if (starts.size() > kMaximumTitleCharacters) {
    line.resize(starts[kMaximumTitleCharacters - 1]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += "\u2026";
  }
  return line;
}

bool WebView::peerShouldShowPageDialog(PageDialog dialog, const std::string& message) {
  const bool shown = !delegate_ || delegate_->webViewShouldShowPageDialog(*this, dialog, message);
  if (shown) {
    pageDialogShown_ = true;
    probeDeadline_.cancel();
  }
  return shown;
}

// The toolkit's word is no proof (it times its own checks, and a busy
// machine delays them): the page is asked, and the probe's deadline decides.
void WebView::peerWebProcessDidBecomeUnresponsive() {
  if (!pageDialogShown_) sendProbe();
}

void WebView::reportUnresponsive() {
  // Once per process.
  if (unresponsiveReported_) return;
  unresponsiveReported_ = true;
  if (delegate_) delegate_->webViewWebProcessDidBecomeUnresponsive(*this);
}

void WebView::peerWebProcessDidTerminate(WebProcessTermination reason) {
  // The process's scripts will never answer; the next process starts clean.
  ++processGeneration_;
  probeAskedAt_.reset();
  probeDeadline_.cancel();
  unresponsiveReported_ = false;
  pageDialogShown_ = false;
  loadAsked_ = false;
  if (delegate_) delegate_->webViewWebProcessDidTerminate(*this, reason);
}

}  // namespace platform
