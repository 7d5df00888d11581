#include "ads/fullscreen/GADBrowserController.h"

#include <utility>

#include "ads/content/GADOpener.h"
#include "ads/fullscreen/GADBrowserWebViewDelegate.h"
#include "ads/fullscreen/GADIntrinsicImages.h"
#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADStatistics.h"
#include "platform/ActivityIndicator.h"
#include "platform/BarButtonItem.h"
#include "platform/Device.h"
#include "platform/Toolbar.h"
#include "platform/WebView.h"

using platform::BarButtonItem;

std::shared_ptr<GADViewControllerPrivate> GADBrowserController::createPrivateData() {
  return std::make_shared<GADBrowserControllerPrivate>();
}

std::function<void()> GADBrowserController::actionFor(void (GADBrowserController::*action)()) {
  std::weak_ptr<platform::ViewController> weak = weak_from_this();
  return [weak, action] {
    if (auto self = weak.lock()) (static_cast<GADBrowserController*>(self.get())->*action)();
  };
}

void GADBrowserController::viewWillAppear(platform::Animated animated) {
  GADViewController::viewWillAppear(animated);
  auto& state = *vars();
  if (state.webView_) return;

  double toolbarHeight = kToolbarHeight;
  unsigned webViewMask = platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight;
  unsigned toolbarMask = platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleTopMargin |
                         platform::kAutoresizingFlexibleBottomMargin;
  if (platform::Device::current().interfaceIdiom() != platform::InterfaceIdiom::Pad) {
    webViewMask |= platform::kAutoresizingFlexibleBottomMargin;
    toolbarMask |= platform::kAutoresizingFlexibleHeight;
    if (GADIdentifierUtilities::sharedInstance().isOrientationLandscape()) toolbarHeight = kLandscapeToolbarHeight;
  }

  auto root = view();
  root->setAccessibleRole(platform::AccessibleRole::Group);
  root->setAccessibleName("Browser");
  const platform::Rect bounds = root->bounds();
  const double w = bounds.size.width, h = bounds.size.height;
  // A site's dialog waits for its user, and a site's script may never
  // return: in a process of its own, neither holds up another page.
  state.webView_ =
      platform::WebView::create(platform::Rect(0, 0, w, h - toolbarHeight), platform::WebProcessGroup::Browsing);
  state.webView_->setAutoresizingMask(webViewMask);
  root->addSubview(state.webView_);
  // The user opened this screen: its page's media plays without another
  // gesture. Desktop web views play inline and fit the page to the view
  // already.
  state.webView_->setMediaPlaybackRequiresUserAction(false);

  state.webViewDelegate_ = std::make_unique<GADBrowserWebViewDelegate>(this);
  attachWebViewDelegate(*state.webViewDelegate_, *state.webView_);

  auto url = std::exchange(state.urlToLoad_, std::nullopt);
  auto referrer = std::exchange(state.referringURLToLoad_, std::nullopt);
  load(url, referrer);

  state.toolbar_ = platform::Toolbar::create(platform::Rect(0, h - toolbarHeight, w, toolbarHeight));
  state.toolbar_->setAutoresizingMask(toolbarMask);
  state.toolbar_->setAutoresizesSubviews(true);
  state.toolbar_->setTintColor(platform::Color::black());
  state.toolbar_->setAccessibleName("Browser controls");
  root->addSubview(state.toolbar_);

  createToolbarButtons();
  refreshToolbar();
}

void GADBrowserController::load(const std::optional<platform::URL>& url,
                                const std::optional<platform::URL>& referringURL) {
  if (!url) return;
  auto& state = *vars();
  if (!state.webView_) {
    state.urlToLoad_ = url;
    state.referringURLToLoad_ = referringURL;
    return;
  }
  platform::URLRequest request(*url);
  if (referringURL) request.setValueForHTTPHeaderField(referringURL->absoluteString(), "Referer");
  state.webView_->loadRequest(request);
}

namespace {
// Every item but flexible space is offered to assistive technologies by
// its label. A width of 0 leaves the toolkit's own.
std::shared_ptr<BarButtonItem> described(std::shared_ptr<BarButtonItem> item, const std::string& label, double width,
                                         bool enabled) {
  if (width > 0) item->setWidth(width);
  item->setEnabled(enabled);
  item->setIsAccessibilityElement(true);
  item->setAccessibilityLabel(label);
  return item;
}
}  // namespace

std::shared_ptr<BarButtonItem> GADBrowserController::buttonWithImage(std::shared_ptr<const platform::Image> image,
                                                                     const std::string& name, int width, bool enabled,
                                                                     void (GADBrowserController::*action)()) {
  return described(BarButtonItem::createWithImage(std::move(image), BarButtonItem::kStylePlain, actionFor(action)),
                   name, static_cast<double>(width), enabled);
}

void GADBrowserController::createToolbarButtons() {
  auto& state = *vars();
  state.flexibleSpaceButton_ = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemFlexibleSpace);
  state.backButton_ = buttonWithImage(GADIntrinsicImages::browserBackButton(), "Back", static_cast<int>(kItemWidth),
                                      false, &GADBrowserController::back);
  state.forwardButton_ = buttonWithImage(GADIntrinsicImages::browserForwardButton(), "Forward",
                                         static_cast<int>(kItemWidth), false, &GADBrowserController::forward);

  state.spinner_ = platform::ActivityIndicator::create(platform::ActivityIndicator::kStyleWhite);
  state.spinner_->setFrame(platform::Rect(0, 0, kSpinnerSize, kSpinnerSize));
  state.spinner_->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin |
                                      platform::kAutoresizingFlexibleRightMargin);
  state.spinnerContainingButton_ =
      described(BarButtonItem::createWithCustomView(state.spinner_), "Spinner", kSpinnerSize, true);
  state.reloadButton_ = described(
      BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemRefresh, actionFor(&GADBrowserController::reload)),
      "Reload", kItemWidth, true);
  // The label says what the item does here: hand the page to the
  // desktop's own browser.
  state.safariButton_ = described(BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemAction,
                                                                      actionFor(&GADBrowserController::openInSafari)),
                                  "View in Browser", kItemWidth, false);
  state.doneButton_ = described(BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemDone,
                                                                    actionFor(&GADBrowserController::relinquishScreen)),
                                "Done", 0, true);
  state.doneButton_->setStyle(BarButtonItem::kStyleDone);
}

void GADBrowserController::refreshToolbar() {
  auto& state = *vars();
  if (!state.webView_ || !state.toolbar_) return;
  state.backButton_->setEnabled(state.webView_->canGoBack());
  state.forwardButton_->setEnabled(state.webView_->canGoForward());
  std::shared_ptr<BarButtonItem> middle;
  if (state.webView_->isLoading()) {
    middle = state.spinnerContainingButton_;
    state.spinner_->startAnimating();
    state.safariButton_->setEnabled(false);
  } else {
    middle = state.reloadButton_;
    state.spinner_->stopAnimating();
    state.safariButton_->setEnabled(true);
  }
  const auto& space = state.flexibleSpaceButton_;
  state.toolbar_->setItems(
      {state.backButton_, space, state.forwardButton_, space, middle, space, state.safariButton_, space,
       state.doneButton_});
}

void GADBrowserController::back() {
  if (webView() && webView()->canGoBack()) webView()->goBack();
}

void GADBrowserController::forward() {
  if (webView() && webView()->canGoForward()) webView()->goForward();
}

void GADBrowserController::reload() {
  if (webView()) webView()->reload();
}

void GADBrowserController::stop() {
  if (webView()) webView()->stopLoading();
}

void GADBrowserController::openInSafari() {
  if (!webView()) return;
  // Kept for this call only (a deferred opening holds it until it runs).
  auto opener = std::make_shared<GADOpener>();
  opener->setDelegateManager(delegateManager());
  // A page the desktop may not be handed stays here, and nothing broke out.
  const auto url = webView()->currentURL();
  if (!url || !opener->mayOpenApp(*url)) return;
  opener->openApp(url);
  GADStatistics::sharedStatistics().setBreakOutToSafari();
}

void GADBrowserController::didRotateFromInterfaceOrientation(int from) {
  GADViewController::didRotateFromInterfaceOrientation(from);
  if (webView()) GADWebViewDelegate::notifyWebViewOfOrientationChange(*webView(), interfaceOrientation());
}
