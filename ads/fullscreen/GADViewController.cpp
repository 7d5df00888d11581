#include "ads/fullscreen/GADViewController.h"

#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADOpener.h"
#include "ads/content/GADWebViewDelegate.h"
#include "ads/core/GADDelegateManager.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/core/GADPrivateUtilities.h"
#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADStatistics.h"
#include "platform/Application.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"
#include "platform/Window.h"

namespace {

bool containsView(const platform::View& view, const void* sender) {
  if (dynamic_cast<const void*>(&view) == sender || static_cast<const void*>(&view) == sender) return true;
  for (const auto& child : view.subviews())
    if (containsView(*child, sender)) return true;
  return false;
}

// Whether the status bar is this platform's to hide for a screen: before
// 3.2 always, later only for full-screen presentation.
bool managesStatusBar(const platform::ViewController& controller) {
  if (!GADIdentifierUtilities::isOSAtLeastMajorMinorBug(3, 2, 0)) return true;
  return controller.modalPresentationStyle() == 0;
}

struct PresentedScreens {
  int count = 0;
};
int& presentedScreens() { return platform::processWide<PresentedScreens>().count; }

}  // namespace

int GADViewController::presentedScreenCount() { return presentedScreens(); }
void GADViewController::resetPresentedScreensForTesting() { presentedScreens() = 0; }

// One ad screen at a time: a page cannot stack screens (each one a live
// web view) however often it asks. The one nesting the ads need is the
// browser a web application's page opens over it.
bool GADViewController::admitsScreenOver(Kind kind, platform::ViewController* parent) {
  if (!parent) return false;
  if (auto* host = dynamic_cast<GADViewController*>(parent)) {
    const bool hostsABrowser = host->kind() == Kind::WebApplication || host->kind() == Kind::ExpandedAd;
    return kind == Kind::Browser && hostsABrowser && host->self_ &&
           !host->modalViewController() && presentedScreens() == 1;
  }
  return presentedScreens() == 0;
}

bool GADViewController::admitsPresentationOver(platform::ViewController& parent) const {
  return !self_ && admitsScreenOver(kind(), &parent);  // one already up is up
}

void GADViewController::init() {
  GADPrivateUtilities::setPrivateObjectForKey<GADViewControllerPrivate>(createPrivateData(), this);
  setSupportedOrientations(1);
  auto root = view();
  root->setAutoresizingMask(platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight);
  root->setOpaque(true);
  root->setBackgroundColor(platform::Color::black());
  root->setClipsToBounds(true);
  setModalTransitionStyle(0);
  // Pages post their messages with their own web view as sender, and the
  // screen's web views are subviews of its root view: a message from any
  // view of this screen is its own. (Matching the root view alone, no
  // page could ever reach it.)
  std::weak_ptr<platform::ViewController> weak = weak_from_this();
  GADNotificationCenter::defaultCenter().addObserver(this, "settings", nullptr,
                                                     [weak](const platform::Notification& message) {
                                                       auto self = weak.lock();
                                                       if (!self) return;
                                                       auto* screen = static_cast<GADViewController*>(self.get());
                                                       if (screen->isOwnView(message.object))
                                                         screen->settingsChanged(message);
                                                     });
}

std::shared_ptr<GADViewControllerPrivate> GADViewController::createPrivateData() {
  return std::make_shared<GADViewControllerPrivate>();
}

void GADViewController::attachWebViewDelegate(GADWebViewDelegate& delegate, platform::WebView& webView) {
  delegate.setViewController(this);
  delegate.setOpeningWebView(kind() == Kind::WebApplication ? openingWebView() : nullptr);
  if (kind() == Kind::WebApplication) delegate.admitOpenerMessagesFrom(webView);
  delegate.opener().setDelegateManager(delegateManager());
  webView.setDelegate(&delegate);
  // A screen's page that stops answering is ended, and the screen closes
  // (see GADWebViewDelegate), as a banner's would be.
  webView.setResponsivenessProbe(GADObjectPrivate::kResponsivenessProbeSeconds,
                                 GADObjectPrivate::kResponsivenessDeadlineSeconds);
}

GADViewControllerPrivate* GADViewController::privateData() const {
  return GADPrivateUtilities::privateObjectForKey<GADViewControllerPrivate>(this).get();
}

GADViewController::~GADViewController() {
  if (presentedOverApplication_ && isFirstGADViewController()) privateData()->delegateManager()->didDismissScreen();
  GADNotificationCenter::defaultCenter().removeObserver(this);
  GADPrivateUtilities::removePrivateObjectForKey(this);
}

bool GADViewController::isFirstGADViewController() const {
  return dynamic_cast<GADViewController*>(parentViewController()) == nullptr;
}

bool GADViewController::isOwnView(const void* sender) const {
  return sender && isViewLoaded() && containsView(*const_cast<GADViewController*>(this)->view(), sender);
}

std::int32_t GADViewController::orientationFromString(const std::string* text) {
  if (!text) return 0;
  if (*text == "any") return 1;
  if (*text == "portrait") return 2;
  if (*text == "landscape") return 3;
  return 0;
}

void GADViewController::setSupportedOrientations(std::int32_t code) {
  if (code != 0) privateData()->setSupportedOrientations(code);
}

void GADViewController::settingsChanged(const platform::Notification& message) {
  const platform::Value* value = message.userInfo.find(kGADSupportedOrientationsKey);
  setSupportedOrientations(orientationFromString(value ? value->asString() : nullptr));
}

bool GADViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
  switch (supportedOrientations()) {
    case 2: return orientation == 1 || orientation == 2;
    case 3: return orientation == 3 || orientation == 4;
    default: return true;
  }
}

// ---- Presentation

void GADViewController::presentFromViewController(platform::ViewController* parent) {
  if (!parent) {
    platform::log("No UIViewController supplied to the ad.  Cannot continue.");
    return;
  }
  if (!admitsPresentationOver(*parent)) {
    GADContentPolicy::refuseOutsideAnyPage(GADContentPolicy::Refusal::Screen, className());
    return;
  }
  view()->setUserInteractionEnabled(false);
  self_ = std::static_pointer_cast<GADViewController>(shared_from_this());
  ++presentedScreens();
  platform::NotificationCenter::defaultCenter().post(GADViewControllerWillPresentFullScreen, this);
  auto& state = *privateData();
  if (dynamic_cast<GADViewController*>(parent)) {
    // Over another ad screen: that one already told the application.
    state.setInteractingWithParent(false);
    parent->presentModalViewController(self_, platform::Animated::Yes);
    return;
  }
  state.setInteractingWithParent(true);
  presentedOverApplication_ = true;
  state.delegateManager()->willPresentScreen();
  if (managesStatusBar(*this)) {
    auto& app = platform::Application::shared();
    state.setStatusBarWasHidden(app.isStatusBarHidden());
    if (!state.statusBarWasHidden()) app.setStatusBarHidden(true);
  }
  presentSelfFrom(*parent);
}

void GADViewController::presentSelfFrom(platform::ViewController& parent) {
  platform::Window* window = platform::Application::shared().keyWindow();
  if (platform::ViewController* root = window ? window->rootViewController() : nullptr) {
    // The screen on top of the root's presentations presents: presenting
    // from the root itself would replace a screen already shown over it.
    while (root->modalViewController()) root = root->modalViewController();
    root->presentModalViewController(self_, platform::Animated::Yes);
    return;
  }
  parent.presentModalViewController(self_, platform::Animated::Yes);
  std::weak_ptr<platform::ViewController> weak = weak_from_this();
  deferredAppearance_.schedule(kDeferredAppearanceSeconds, [weak] {
    if (auto self = weak.lock()) self->viewDidAppear(platform::Animated::No);
  });
}

void GADViewController::viewDidAppear(platform::Animated animated) {
  // Once per presentation: a second delivery finds interaction enabled.
  if (view()->isUserInteractionEnabled()) return;
  platform::ViewController::viewDidAppear(animated);
  view()->setUserInteractionEnabled(true);
  if (isFirstGADViewController() && privateData()->interactingWithParent())
    privateData()->setInteractingWithParent(false);
}

bool GADViewController::escapePressed() {
  if (!self_) return false;  // already going
  relinquishScreen();
  return true;
}

void GADViewController::relinquishScreen() {
  // Only a presented screen can be given back, and only once: a page's
  // repeated "close" must not report the dismissal twice.
  if (!self_) return;
  // What covers this screen goes first, top first, each with its events:
  // a screen left above a dismissed one would stay alive, hidden, with its
  // page running.
  if (platform::ViewController* above = modalViewController()) {
    if (auto* screen = dynamic_cast<GADViewController*>(above)) {
      screen->relinquishScreen();
    } else {
      dismissModalViewControllerAnimated(platform::Animated::No);
    }
  }
  deferredAppearance_.cancel();
  view()->setUserInteractionEnabled(false);
  auto self = std::move(self_);
  --presentedScreens();
  platform::RunLoop::main().keepAliveUntilEndOfTurn(self);
  auto& state = *privateData();
  if (isFirstGADViewController()) {
    state.setInteractingWithParent(true);
    state.delegateManager()->willDismissScreen();
    if (managesStatusBar(*this) && !state.statusBarWasHidden())
      platform::Application::shared().setStatusBarHidden(false);
  } else {
    state.setInteractingWithParent(false);
  }
  if (platform::ViewController* parent = parentViewController())
    parent->dismissModalViewControllerAnimated(platform::Animated::Yes);
  platform::NotificationCenter::defaultCenter().post(GADViewControllerDidRelinquishFullScreen, this);
}

void GADViewController::viewDidDisappear(platform::Animated animated) {
  platform::ViewController::viewDidDisappear(animated);
  auto& statistics = GADStatistics::sharedStatistics();
  statistics.endTimingNamed(kGADParameterPriorLandingPageDuration);
  statistics.endTimingNamed(kGADParameterPriorClickLatency);
  auto& state = *privateData();
  if (isFirstGADViewController() && state.interactingWithParent()) {
    state.setInteractingWithParent(false);
    if (state.appClosing()) state.delegateManager()->willLeaveApplication();
  }
}
