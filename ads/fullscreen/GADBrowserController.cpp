#include "ads/fullscreen/GADBrowserController.h"

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
  const platform::Rect bounds = root->bounds();
  const double w = bounds.size.width, h = bounds.size.height;
  state.webView_ = platform::WebView::create(platform::Rect(0, 0, w, h - toolbarHeight));
  state.webView_->setAutoresizingMask(webViewMask);
  root->addSubview(state.webView_);
  // Desktop web views play media inline and without a gesture already, and
  // fit the page to the view: nothing to set for either.

  state.webViewDelegate_ = std::make_unique<GADBrowserWebViewDelegate>(this);
  state.webViewDelegate_->setViewController(this);
  state.webViewDelegate_->setOpeningWebView(openingWebView());
  // A link leaving the application from the landing page tells the ad's
  // delegate, as one from the banner does.
  state.webViewDelegate_->opener().setDelegateManager(delegateManager());
  state.webView_->setDelegate(state.webViewDelegate_.get());

  if (state.urlToLoad_) {
    auto url = std::move(state.urlToLoad_);
    auto referrer = std::move(state.referringURLToLoad_);
    state.urlToLoad_.reset();
    state.referringURLToLoad_.reset();
    load(url, referrer);
  }

  state.toolbar_ = platform::Toolbar::create(platform::Rect(0, h - toolbarHeight, w, toolbarHeight));
  state.toolbar_->setAutoresizingMask(toolbarMask);
  state.toolbar_->setAutoresizesSubviews(true);
  state.toolbar_->setTintColor(platform::Color::black());
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

std::shared_ptr<BarButtonItem> GADBrowserController::buttonWithImage(std::shared_ptr<const platform::Image> image,
                                                                     const std::string& name, int width, bool enabled,
                                                                     void (GADBrowserController::*action)()) {
  auto item = BarButtonItem::createWithImage(std::move(image), BarButtonItem::kStylePlain, actionFor(action));
  item->setWidth(static_cast<double>(width));
  item->setEnabled(enabled);
  item->setIsAccessibilityElement(true);
  item->setAccessibilityLabel(name);
  return item;
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
  state.spinnerContainingButton_ = BarButtonItem::createWithCustomView(state.spinner_);
  state.spinnerContainingButton_->setWidth(kSpinnerSize);
  state.spinnerContainingButton_->setEnabled(true);
  state.spinnerContainingButton_->setIsAccessibilityElement(true);
  state.spinnerContainingButton_->setAccessibilityLabel("Spinner");

  state.reloadButton_ =
      BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemRefresh, actionFor(&GADBrowserController::reload));
  state.reloadButton_->setWidth(kItemWidth);
  state.reloadButton_->setEnabled(true);
  state.reloadButton_->setIsAccessibilityElement(true);
  state.reloadButton_->setAccessibilityLabel("Reload");

  state.safariButton_ = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemAction,
                                                            actionFor(&GADBrowserController::openInSafari));
  state.safariButton_->setWidth(kItemWidth);
  state.safariButton_->setEnabled(false);
  state.safariButton_->setIsAccessibilityElement(true);
  state.safariButton_->setAccessibilityLabel("View in Browser");

  std::weak_ptr<platform::ViewController> weak = weak_from_this();
  state.doneButton_ = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemDone, [weak] {
    if (auto self = weak.lock()) static_cast<GADBrowserController*>(self.get())->relinquishScreen();
  });
  state.doneButton_->setStyle(BarButtonItem::kStyleDone);
  state.doneButton_->setEnabled(true);
  state.doneButton_->setIsAccessibilityElement(true);
  state.doneButton_->setAccessibilityLabel("Done");
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
  opener->openApp(webView()->currentURL());
  GADStatistics::sharedStatistics().setBreakOutToSafari();
}

void GADBrowserController::didRotateFromInterfaceOrientation(int from) {
  GADViewController::didRotateFromInterfaceOrientation(from);
  if (webView()) GADWebViewDelegate::notifyWebViewOfOrientationChange(*webView(), interfaceOrientation());
}
