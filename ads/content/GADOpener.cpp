#include "ads/content/GADOpener.h"

#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotification.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/fullscreen/GADBrowserController.h"
#include "ads/fullscreen/GADWebAppViewController.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADStatistics.h"
#include "platform/Application.h"
#include "platform/Log.h"
#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"
#include "platform/Toolkit.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"

namespace {
struct RepeatCount {
  int value = 0;
};
int& repeatCount() { return platform::processWide<RepeatCount>().value; }

const std::string* stringParameter(const std::optional<platform::Dictionary>& parameters, std::string_view key) {
  if (!parameters) return nullptr;
  const platform::Value* value = parameters->find(key);
  return value ? value->asString() : nullptr;
}

std::vector<std::string> splitAtCommas(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}
}  // namespace

int GADOpener::repeatCountForTesting() { return repeatCount(); }
void GADOpener::resetRepeatCountForTesting() { repeatCount() = 0; }

platform::ViewController* GADOpener::viewController() const { return viewController_.lock().get(); }

void GADOpener::setViewController(platform::ViewController* controller) {
  viewController_ = controller ? controller->weak_from_this() : std::weak_ptr<platform::ViewController>();
}

platform::WebView* GADOpener::openingWebView() const { return openingPage_.webView(); }

void GADOpener::setOpeningWebView(platform::WebView* webView) { openingPage_ = GADOpeningPage(webView); }

int GADOpener::orientationCodeFromText(const std::string* text) {
  if (text && *text == "p") return kGADOrientationPortrait;
  if (text && *text == "l") return kGADOrientationLandscape;
  return kGADOrientationAny;
}

void GADOpener::openNotification(const GADNotification& notification, const UseGesture& useGesture) {
  // The parameters are the page's: each is read as text or taken as absent.
  const auto& parameters = notification.parameters();
  const std::string* action = stringParameter(parameters, "a");
  const std::string* urlText = stringParameter(parameters, "u");
  const std::string* html = stringParameter(parameters, "html");
  const std::optional<platform::URL> url = urlText ? platform::URL::create(*urlText) : std::nullopt;
  const bool isWebApp = action && *action == "webapp";
  const bool isBrowser = action && (*action == "browser" || *action == "video");
  if (!url && !(html && isWebApp)) return;
  // An opening that would be refused is no click: ask first, count after.
  if (isBrowser || isWebApp) {
    if (!mayPresentScreen(isBrowser ? GADViewController::Kind::Browser : GADViewController::Kind::WebApplication))
      return;
  } else if (!mayOpenApp(*url)) {
    return;
  }
  if (useGesture && !useGesture()) return;
  const int orientations = orientationCodeFromText(stringParameter(parameters, "o"));
  const std::optional<platform::URL> click = GADStatistics::sharedStatistics().urlForClick(url);

  if (isBrowser) {
    openBrowserToURLSupportedOrientations(click, orientations);
  } else if (isWebApp) {
    if (click) {
      openWebAppSupportedOrientations(*click, orientations);
    } else if (html) {
      openWebAppWithHTMLSupportedOrientations(*html, orientations);
    }
  } else {
    openApp(click);
  }
}

bool GADOpener::mayPresentScreen(GADViewController::Kind kind) const {
  platform::ViewController* parent = viewController();
  if (!parent) {
    platform::log("No UIViewController supplied to the ad.  Cannot continue.");
    return false;
  }
  if (GADViewController::admitsScreenOver(kind, parent)) return true;
  GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::Screen,
                                         kind == GADViewController::Kind::Browser ? "GADBrowserController"
                                                                                  : "GADWebAppViewController");
  return false;
}

bool GADOpener::mayOpenApp(const platform::URL& url) const {
  // Mail goes to our composer, over the screen that asked.
  if (url.scheme() == "mailto") return viewController() != nullptr;
  if (!GADContentPolicy::mayLeaveApplication(url)) {
    GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::Scheme, url.absoluteString());
    return false;
  }
  if (!platform::Application::shared().canOpenURL(url.absoluteString())) {
    // Nothing on this desktop opens it: the user stays, and hears of nothing.
    platform::log("No application opens %s", url.absoluteString().c_str());
    return false;
  }
  return true;
}

void GADOpener::openBrowserToURLSupportedOrientations(const std::optional<platform::URL>& url, int orientations) {
  auto browser = GADViewController::create<GADBrowserController>();
  browser->setSupportedOrientations(orientations);
  browser->setOpeningWebView(openingWebView());
  browser->load(url, referringURL_);
  browser->setDelegateManager(delegateManager_);
  // Once presented, the browser keeps itself until it gives the screen back.
  browser->presentFromViewController(viewController());
}

std::shared_ptr<GADWebAppViewController> GADOpener::webAppOrientations(int orientations) {
  auto webApp = GADViewController::create<GADWebAppViewController>();
  webApp->setSupportedOrientations(orientations);
  webApp->setOpeningWebView(openingWebView());
  webApp->setDelegateManager(delegateManager_);
  return webApp;
}

void GADOpener::openWebAppSupportedOrientations(const platform::URL& url, int orientations) {
  auto webApp = webAppOrientations(orientations);
  webApp->load(url);
  webApp->presentFromViewController(viewController());
}

void GADOpener::openWebAppWithHTMLSupportedOrientations(const std::string& html, int orientations) {
  auto webApp = webAppOrientations(orientations);
  webApp->loadHTMLBaseURL(html, std::nullopt);
  webApp->presentFromViewController(viewController());
}

void GADOpener::openEmailComposer(const platform::URL& url) {
  platform::ViewController* parent = viewController();
  if (!parent) return;
  if (!platform::MailComposer::canSendMail()) {
    // A composer whose Send could go nowhere would lose what the user wrote.
    platform::log("No mail client for %s", url.absoluteString().c_str());
    platform::Toolkit::current().showNotice(kNoMailClientNotice);
    return;
  }
  const MailFields fields = mailFieldsFromURL(url);
  auto composer = std::make_shared<platform::MailComposer>();
  composer->setMailComposeDelegate(std::static_pointer_cast<platform::MailComposerDelegate>(shared_from_this()));
  composer->setToRecipients(fields.to);
  composer->setCcRecipients(fields.cc);
  composer->setBccRecipients(fields.bcc);
  composer->setSubject(fields.subject);
  composer->setMessageBody(fields.body, false);
  composer->setModalTransitionStyle(0);
  parent->presentModalViewController(composer, platform::Animated::Yes);
}

void GADOpener::mailComposeControllerDidFinishWithResult(platform::MailComposer& composer, platform::MailComposeResult,
                                                         const std::optional<platform::Error>&) {
  // The presenter takes the focus back when the composer has gone.
  composer.dismissModalViewControllerAnimated(platform::Animated::Yes);
}

void GADOpener::openApp(const std::optional<platform::URL>& url) {
  if (!url) return;
  // Mail has one door: our composer, filled with the fields it knows. The
  // desktop's mail client would take the page's text as written (an
  // "attach=" among it).
  if (url->scheme() == "mailto") {
    openEmailComposer(*url);
    return;
  }
  // Every way to the desktop comes through here.
  if (!mayOpenApp(*url)) return;
  auto self = shared_from_this();
  if (GADClickTracker::activeTrackings()) {
    // Leaving may end a tracking's fetch: put it off a few times, not forever.
    if (repeatCount()++ < kAppOpenMaxRetries) {
      platform::RunLoop::main().performAfterDelay(self, kAppOpenRetrySeconds,
                                                  [self, url] { self->openApp(url); });
      return;
    }
  }
  repeatCount() = 0;
  if (delegateManager_) delegateManager_->willLeaveApplication();
  platform::RunLoop::main().performAfterDelay(self, 0, [text = url->absoluteString()] {
    platform::Application::shared().openURL(text);
  });
}

GADOpener::MailFields GADOpener::mailFieldsFromURL(const platform::URL& url) {
  MailFields fields;
  const std::string& absolute = url.absoluteString();
  const std::string rest = absolute.size() > 7 ? absolute.substr(7) : std::string();
  const size_t question = rest.find('?');
  fields.to.push_back(rest.substr(0, question));
  if (question == std::string::npos) return fields;
  const std::string query = rest.substr(question + 1);
  const platform::Dictionary values = GADNetworkUtilities::dictionaryFromQueryString(&query);
  auto text = [&](std::string_view key) -> std::optional<std::string> {
    const platform::Value* value = values.find(key);
    if (!value) return std::nullopt;
    return GADNetworkUtilities::textOfValue(*value);
  };
  if (auto cc = text("cc")) fields.cc = splitAtCommas(*cc);
  if (auto bcc = text("bcc")) fields.bcc = splitAtCommas(*bcc);
  fields.subject = text("subject").value_or("");
  fields.body = text("body").value_or("");
  return fields;
}
