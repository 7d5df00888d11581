#include "ads/content/GADWebViewDelegate.h"

#include <charconv>
#include <algorithm>
#include <climits>
#include <cstdio>

#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotification.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADOpener.h"
#include "ads/core/GADMacros.h"
#include "ads/fullscreen/GADRelinquishableScreen.h"
#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADSignalsProvider.h"
#include "platform/ASCII.h"
#include "platform/Crypto.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Screen.h"
#include "platform/SystemSound.h"
#include "platform/ViewController.h"

namespace {
const std::string* stringParameter(const std::optional<platform::Dictionary>& parameters, std::string_view key) {
  if (!parameters) return nullptr;
  const platform::Value* value = parameters->find(key);
  return value ? value->asString() : nullptr;
}

std::shared_ptr<platform::WebView> sharedWebView(platform::WebView& webView) {
  return std::static_pointer_cast<platform::WebView>(webView.shared_from_this());
}

}  // namespace

GADWebViewDelegate::GADWebViewDelegate() : opener_(std::make_shared<GADOpener>()) {}

GADWebViewDelegate::~GADWebViewDelegate() {
  platform::RunLoop::main().cancelPerformRequests(this);
  opener_.reset();
  if (tracker_) {
    tracker_->reset();
    tracker_.reset();
  }
}

void GADWebViewDelegate::setOpenerForTesting(std::shared_ptr<GADOpener> opener) { opener_ = std::move(opener); }

platform::ViewController* GADWebViewDelegate::viewController() const { return viewController_.lock().get(); }

void GADWebViewDelegate::setViewController(platform::ViewController* controller) {
  viewController_ = controller ? controller->weak_from_this() : std::weak_ptr<platform::ViewController>();
}

platform::WebView* GADWebViewDelegate::openingWebView() const { return openingPage_.webView(); }

void GADWebViewDelegate::setOpeningWebView(platform::WebView* webView) { openingPage_ = GADOpeningPage(webView); }

// WebKit's navigation decision does not say which frame navigated to a
// message URL, and any frame of any origin may navigate itself to one. So
// the token that "evalInOpener" must carry is given to the main frame
// alone, by a script WebKit injects into main-frame documents only: a
// subframe of another origin can neither read the main frame's globals nor
// call its function. A subframe of the page's own origin can, as it can
// run any script in its parent: it is the page's own party. Later pages
// get the function too, and are refused as later pages.
void GADWebViewDelegate::admitOpenerMessagesFrom(platform::WebView& webView) {
  const auto bytes = platform::Crypto::randomBlock();
  std::string token;
  for (const auto byte : bytes) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(byte));
    token += hex;
  }
  openerToken_ = token;
  webView.addMainFrameScript(openerFunctionScript(token));
}

std::string GADWebViewDelegate::openerFunctionScript(const std::string& token) {
  // The token stays in the closure: the page sees only the function.
  return "(function(){var t='" + token +
         "';window.ZOVO_EvalInOpener=function(js){location.href='gmsg://webapp/evalInOpener?js='+"
         "encodeURIComponent(''+js)+'&token='+t;};})();";
}

bool GADWebViewDelegate::isFirstPage(const platform::WebView& webView) const {
  return webView.loadGeneration() != startsGeneration_ || pagesStarted_ <= 1;
}

void GADWebViewDelegate::webViewDidStartLoad(platform::WebView& webView) {
  contentPolicy_.pageDidChange();
  if (webView.loadGeneration() != startsGeneration_) {
    startsGeneration_ = webView.loadGeneration();
    pagesStarted_ = 0;
  }
  ++pagesStarted_;
  ++*pageStarts_;
}

std::shared_ptr<platform::WebView> GADWebViewDelegate::AskingPage::ifStillShown() const {
  auto view = webView.lock();
  if (!view || view->loadGeneration() != generation || *starts != startsThen) return nullptr;
  return view;
}

void GADWebViewDelegate::webViewDidFailLoadWithError(platform::WebView&, const platform::Error&) {}

bool GADWebViewDelegate::webViewShouldShowPageDialog(platform::WebView&, platform::PageDialog dialog,
                                                     const std::string& message) {
  const char* kind = "an alert";
  switch (dialog) {
    case platform::PageDialog::Alert: break;
    case platform::PageDialog::Confirm: kind = "a confirm"; break;
    case platform::PageDialog::Prompt: kind = "a prompt"; break;
    case platform::PageDialog::BeforeUnload: kind = "a leave-page"; break;
  }
  // The policy makes the text fit for the log.
  contentPolicy_.refuse(GADContentPolicy::Refusal::Dialog,
                        std::string(kind) + " dialog: " + message.substr(0, kMaximumLogBytes));
  return false;
}

void GADWebViewDelegate::webViewWebProcessDidBecomeUnresponsive(platform::WebView& webView) {
  platform::log("A page stopped answering; its process is ended.");
  webView.terminateWebProcess();
}

void GADWebViewDelegate::webViewWebProcessDidTerminate(platform::WebView&, platform::WebProcessTermination reason) {
  const char* why = reason == platform::WebProcessTermination::Crashed               ? "crashed"
                    : reason == platform::WebProcessTermination::ExceededMemoryLimit ? "passed its memory limit"
                                                                                       : "was ended";
  platform::log("A page's process %s.", why);
  // Whoever is told may let this delegate go.
  if (auto handler = terminationHandler_) {
    handler();
    return;
  }
  if (auto* screen = dynamic_cast<GADRelinquishableScreen*>(viewController())) screen->relinquishScreen();
}

void GADWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  notifyWebViewOfOrientationChange(webView, static_cast<int>(platform::Screen::main().statusBarOrientation()));
}

std::optional<std::string> GADWebViewDelegate::orientationScript(int interfaceOrientation) {
  const char* degrees = nullptr;
  switch (interfaceOrientation) {
    case 1: degrees = "0"; break;
    case 2: degrees = "180"; break;
    case 3: degrees = "90"; break;
    case 4: degrees = "-90"; break;
    default: return std::nullopt;
  }
  // The page's handler answers nothing back: see scriptWithoutValue.
  return platform::WebView::scriptWithoutValue(std::string("window.__defineGetter__('orientation',function(){return ") +
                                               degrees + ";});window.onorientationchange();");
}

void GADWebViewDelegate::notifyWebViewOfOrientationChange(platform::WebView& webView, int interfaceOrientation) {
  if (auto script = orientationScript(interfaceOrientation)) webView.evaluateJavaScript(*script);
}

bool GADWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(platform::WebView& webView,
                                                                         const platform::URLRequest& request,
                                                                         platform::NavigationType type) {
  if (silenced_) return false;
  noteNavigation(webView, request);

  const platform::URL& url = request.url();
  const std::string& scheme = url.scheme();  // lower case
  // A page must never reach the local file system.
  if (scheme == "file") {
    contentPolicy_.refuse(GADContentPolicy::Refusal::Scheme, url.absoluteString());
    return false;
  }
  if (scheme == "about") return true;

  if (GADNotification::isNotificationURL(url)) return dispatchMessage(webView, url);

  postWebAction(webView, url, type);
  if (scheme == "http" || scheme == "https") return true;
  leaveApplication(webView, url);
  return false;
}

void GADWebViewDelegate::noteNavigation(platform::WebView& webView, const platform::URLRequest& request) {
  if (auto userAgent = request.valueForHTTPHeaderField("User-Agent"))
    GADNetworkUtilities::setUserAgentString(*userAgent);
  opener_->setViewController(viewController());
  // A screen this page's action opens names this page as its opener: the
  // page that "evalInOpener" from that screen reaches, where the screen
  // lets its page reach one (the web application's).
  opener_->setOpeningWebView(&webView);
}

void GADWebViewDelegate::postWebAction(platform::WebView& webView, const platform::URL& url,
                                       platform::NavigationType type) {
  if (type == platform::NavigationType::Other && url.path().size() < 2) return;
  platform::NotificationCenter::defaultCenter().post(GADWebViewDelegateDidReceiveWebAction, &webView,
                                                     platform::Dictionary{{"u", url.absoluteString()}});
}

void GADWebViewDelegate::leaveApplication(platform::WebView& webView, const platform::URL& url) {
  // Leaving the page for the composer or the desktop is the user's to do,
  // once a click; the opener keeps to the allow-list.
  if (!GADContentPolicy::hasUserGesture(webView)) {
    contentPolicy_.refuse(GADContentPolicy::Refusal::NoGesture, url.absoluteString());
    return;
  }
  if (!opener_->mayOpenApp(url) || !GADContentPolicy::consumeUserGesture(webView)) return;
  opener_->openApp(url);
}

// Message URLs are never loaded, whatever becomes of them: the answer is
// always false. A page sends them as often and as long as it likes, from
// timers and frames: each is bounded before it is read, and those that act
// for the user need the user.
bool GADWebViewDelegate::dispatchMessage(platform::WebView& webView, const platform::URL& url) {
  if (!contentPolicy_.admitMessage(url.absoluteString().size(), GADNotification::isCloseURL(url))) return false;
  const auto message = GADNotification::notificationFromURL(url);
  // A message URL that gives no message (no name) has nothing to dispatch
  // and no name to report: it is refused silently.
  if (!message) return false;
  platform::NotificationCenter::defaultCenter().post(
      GADWebViewDelegateDidReceiveWebAction, &webView,
      platform::Dictionary{{"u", url.absoluteString()}, {"a", message->name()}});

  const std::string& name = message->name();
  const auto& parameters = message->parameters();
  // A user's click is one act: the first "click" or "open" it lends takes
  // it (and "vibrate" gets one buzz of it, below).
  if ((name == "click" || name == "open") && !GADContentPolicy::hasUserGesture(webView)) {
    contentPolicy_.refuse(GADContentPolicy::Refusal::NoGesture, "\"" + name + "\" message");
    return false;
  }
  if (name == "click") {
    if (GADContentPolicy::consumeUserGesture(webView))
      trackURLStringAppendSpamSignals(stringParameter(parameters, "u"), true);
  } else if (name == "close") {
    if (auto* screen = dynamic_cast<GADRelinquishableScreen*>(viewController())) screen->relinquishScreen();
  } else if (name == "httpTrack") {
    trackURLStringAppendSpamSignals(stringParameter(parameters, "u"), false);
  } else if (name == "log") {
    if (const std::string* text = stringParameter(parameters, "string"))
      platform::log("%s", platform::printableLogText(*text, kMaximumLogBytes).c_str());
  } else if (name == "open") {
    opener_->openNotification(*message, [&webView] { return GADContentPolicy::consumeUserGesture(webView); });
  } else if (name == "touch") {
    processTouchSignals(parameters);
  } else if (name == "vibrate") {
    if (contentPolicy_.admitVibration(webView)) platform::SystemSound::play(platform::kSystemSoundIDVibrate);
  } else if (name == "canOpenURLs") {
    std::vector<std::string> urls;
    if (const std::string* list = stringParameter(parameters, "urls")) {
      size_t start = 0;
      // Each entry is a lookup on the desktop: a page gets a bounded number.
      while (urls.size() < kMaximumCanOpenURLs) {
        const size_t comma = list->find(',', start);
        urls.push_back(list->substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
    processCanOpenURLsWebView(urls, webView);
  } else if (name == "evalInOpener") {
    // The one way a page reaches script in another page: the main frame of
    // the web application's first page reaches the very ad page that
    // opened it, while that page is there. Every other page has no opener.
    const std::string* token = stringParameter(parameters, "token");
    if (!openingWebView()) {
      contentPolicy_.refuse(GADContentPolicy::Refusal::Opener, "\"evalInOpener\" without an opener");
    } else if (!isFirstPage(webView)) {
      contentPolicy_.refuse(GADContentPolicy::Refusal::Opener, "\"evalInOpener\" from a later page");
    } else if (!openerToken_ || !token || *token != *openerToken_) {
      contentPolicy_.refuse(GADContentPolicy::Refusal::Opener, "\"evalInOpener\" from outside the main frame");
    } else if (parameters) {
      const AskingPage asking{sharedWebView(webView), webView.loadGeneration(), pageStarts_, *pageStarts_};
      platform::RunLoop::main().performAfterDelay(deferralTarget(), 0, [this, item = *parameters, asking] {
        evaluateJavaScriptInOpener(item, asking);
      });
    }
  } else if (name == "mraid") {
    if (const std::string* call = stringParameter(parameters, "call")) receiveMRAIDCall(webView, *call, *parameters);
  } else {
    // Heard on a later turn, and only while the page that sent it is still
    // the web view's (no load asked since) and this delegate still decides
    // for it: a web view kept for the next page hears nothing of the last.
    std::weak_ptr<platform::WebView> page = sharedWebView(webView);
    platform::RunLoop::main().performAfterDelay(
        deferralTarget(), 0, [url, page, generation = webView.loadGeneration()] {
          auto view = page.lock();
          if (view && view->loadGeneration() == generation)
            GADNotificationCenter::defaultCenter().postNotificationFromURLObject(url, view.get());
        });
  }
  return false;
}

// The opening page is an ad's, and its globals are its own to redefine
// (String, JSON, eval, Array, Object, the prototypes' toString, valueOf
// and Symbol.toPrimitive): past the evaluation itself, the script uses
// only what no page can redefine. `typeof` tells a primitive; a number, a
// boolean or a bigint becomes text by `+` with a string (no method of the
// page's is called for a primitive); a primitive string's length is its
// own; an object, a function or a symbol is no value, and so is what the
// page throws. The text is bounded in the page, so at most the bound and a
// letter cross to this process.
std::string GADWebViewDelegate::openerScript(const std::string& js) {
  // JSON writes only containers: the text goes in as an array's one item.
  const platform::Value text(platform::Value::Array{platform::Value(js)});
  return "(function(){var r;try{r=(0,eval)(" + GADMacros::jsonify(&text).value_or("['']") +
         "[0]);}catch(e){return 'n';}var t=typeof r;"
         "if(t==='number'||t==='boolean'||t==='bigint')r=''+r;else if(t!=='string')return 'n';"
         "return r.length>" +
         std::to_string(GADContentPolicy::kMaximumScriptAnswerBytes) + "?'t'+r.length:'v'+r;})()";
}

std::optional<std::string> GADWebViewDelegate::openerAnswer(const std::optional<std::string>& result) {
  if (!result || result->empty()) return std::string();  // a failed script answers nothing, as before
  switch ((*result)[0]) {
    case 'v': {
      std::string value = result->substr(1);
      if (value.size() <= GADContentPolicy::kMaximumScriptAnswerBytes) return value;
      GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::MessageSize,
                                             "an \"evalInOpener\" answer of " + std::to_string(value.size()) + " bytes");
      return std::nullopt;
    }
    case 't':
      GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::MessageSize,
                                             "an \"evalInOpener\" answer of " + result->substr(1) + " characters");
      return std::nullopt;
    default:
      return std::string();
  }
}

void GADWebViewDelegate::evaluateJavaScriptInOpener(const platform::Dictionary& item, const AskingPage& asking) {
  platform::WebView* opening = openingWebView();
  const platform::Value* js = item.find("js");
  // A page the asking one went on to gets nothing of the opener's.
  if (!opening || !js || !js->asString() || !asking.ifStillShown()) return;
  // The answer is bounded in the opening page: one past the bound never
  // crosses to this process, nor is read here.
  opening->evaluateJavaScript(openerScript(*js->asString()), [asking](std::optional<std::string> result) {
    auto target = asking.ifStillShown();
    if (!target) return;
    const auto answer = openerAnswer(result);
    if (!answer) return;
    GADNotificationCenter::postJSNotificationUserInfoWebView(
        "evalJavaScriptInOpenerResult", platform::Dictionary{{"result", *answer}}, target.get());
  });
}

void GADWebViewDelegate::processCanOpenURLsWebView(const std::vector<std::string>& urls, platform::WebView& webView) {
  const platform::Dictionary answers = GADIdentifierUtilities::sharedInstance().canOpenURLs(urls);
  GADNotificationCenter::postJSNotificationUserInfoWebView("openableURLs", answers, &webView);
}

int GADWebViewDelegate::intForKeyFromDictionary(std::string_view key,
                                                const std::optional<platform::Dictionary>& dictionary) {
  const platform::Value* value = dictionary ? dictionary->find(key) : nullptr;
  if (!value) return -1;
  if (const auto* integer = value->asInteger()) {
    return static_cast<int>(std::clamp<std::int64_t>(*integer, INT_MIN, INT_MAX));
  }
  const std::string* text = value->asString();
  if (!text) return 0;
  size_t i = 0;
  while (i < text->size() && platform::ascii::isSpace((*text)[i])) ++i;
  bool negative = false;
  if (i < text->size() && ((*text)[i] == '+' || (*text)[i] == '-')) negative = (*text)[i++] == '-';
  long long magnitude = 0;
  for (; i < text->size() && platform::ascii::isDigit((*text)[i]); ++i) {
    // Past int's range the answer is pinned, so stop growing.
    if (magnitude <= static_cast<long long>(INT_MAX) + 1) magnitude = magnitude * 10 + ((*text)[i] - '0');
  }
  const long long signedValue = negative ? -magnitude : magnitude;
  return static_cast<int>(std::clamp<long long>(signedValue, INT_MIN, INT_MAX));
}

void GADWebViewDelegate::processTouchSignals(const std::optional<platform::Dictionary>& parameters) {
  gad_htg(intForKeyFromDictionary("tx", parameters), intForKeyFromDictionary("ty", parameters),
          intForKeyFromDictionary("td", parameters));
}

void GADWebViewDelegate::trackURLStringAppendSpamSignals(const std::string* text, bool appendSpamSignals) {
  if (!tracker_) tracker_ = std::make_shared<GADClickTracker>();
  std::optional<platform::URL> url = text ? platform::URL::create(*text) : std::nullopt;
  if (url && appendSpamSignals) {
    if (auto clickString = GADNetworkUtilities::parameterValueForKeyFromURL("ai", *url)) {
      std::string signal;
      if (gad_gmcs(*clickString, signal)) {
        if (auto signed_ = GADNetworkUtilities::appendQueryKeyValueToURL(signal, std::nullopt, *url)) url = signed_;
      }
    }
  }
  tracker_->trackURL(url);
}
