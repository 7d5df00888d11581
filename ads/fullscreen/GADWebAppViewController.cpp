#include "ads/fullscreen/GADWebAppViewController.h"

#include <utility>

#include "ads/content/GADNotificationCenter.h"
#include "ads/fullscreen/GADIntrinsicImages.h"
#include "ads/fullscreen/GADWebAppWebViewDelegate.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADStatistics.h"
#include "platform/ActivityIndicator.h"
#include "platform/Button.h"
#include "platform/Image.h"
#include "platform/WebView.h"

std::shared_ptr<GADViewControllerPrivate> GADWebAppViewController::createPrivateData() {
  return std::make_shared<GADWebAppViewControllerPrivate>();
}

void GADWebAppViewController::init() {
  GADViewController::init();
  vars()->loadingSpinner_ = platform::ActivityIndicator::create(platform::ActivityIndicator::kStyleWhite);
}

GADWebAppWebViewDelegate* GADWebAppViewController::webViewDelegate() const {
  return static_cast<GADWebAppWebViewDelegate*>(vars()->webViewDelegate_.get());
}

void GADWebAppViewController::load(const std::optional<platform::URL>& url) {
  if (!url) return;
  auto& state = *vars();
  if (state.webView_) {
    state.webView_->loadRequest(platform::URLRequest(*url));
  } else {
    state.urlToLoad_ = url;
  }
}

void GADWebAppViewController::loadHTMLBaseURL(const std::optional<std::string>& html,
                                              const std::optional<platform::URL>& baseURL) {
  if (!html) return;
  auto& state = *vars();
  if (state.webView_) {
    state.webView_->loadHTMLStringBaseURL(*html, baseURL);
  } else {
    state.htmlToLoad_ = html;
    state.htmlBaseURLToLoad_ = baseURL;
  }
}

void GADWebAppViewController::viewWillAppear(platform::Animated animated) {
  GADViewController::viewWillAppear(animated);
  auto& state = *vars();
  if (state.webView_) return;

  auto root = view();
  root->setAccessibleRole(platform::AccessibleRole::Group);
  root->setAccessibleName("Web application");
  const platform::Rect bounds = root->bounds();
  state.webView_ = platform::WebView::create(bounds);
  state.webView_->setClipsToBounds(true);
  state.webView_->setAutoresizingMask(platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight);
  root->addSubview(state.webView_);
  state.webView_->setOpaque(false);
  state.webView_->setBackgroundColor(platform::Color::clear());
  // The user opened this screen: its page's media plays without another
  // gesture. Desktop web views play inline and detect no data in text
  // already; there is no AirPlay.
  state.webView_->setMediaPlaybackRequiresUserAction(false);

  state.webViewDelegate_ = std::make_unique<GADWebAppWebViewDelegate>(&state);
  attachWebViewDelegate(*state.webViewDelegate_, *state.webView_);

  // What waited is loaded now that the web view exists; a URL wins.
  auto url = std::exchange(state.urlToLoad_, std::nullopt);
  auto html = std::exchange(state.htmlToLoad_, std::nullopt);
  auto base = std::exchange(state.htmlBaseURLToLoad_, std::nullopt);
  if (url) {
    load(url);
  } else {
    loadHTMLBaseURL(html, base);
  }

  auto image = GADIntrinsicImages::closeButton();
  const platform::Size size = image ? image->size() : platform::Size{25, 25};
  state.closeButton_ = platform::Button::create(platform::Rect(kCloseButtonInset, kCloseButtonInset, size.width, size.height));
  state.closeButton_->setImage(image);
  // Its picture says nothing to a screen reader.
  state.closeButton_->setAccessibleName("Close");
  state.closeButton_->setShowsTouchWhenHighlighted(true);
  state.closeButton_->setEnabled(true);
  std::weak_ptr<platform::ViewController> weak = weak_from_this();
  state.closeButton_->setAction([weak] {
    if (auto self = weak.lock()) static_cast<GADWebAppViewController*>(self.get())->relinquishScreen();
  });
  root->addSubview(state.closeButton_);

  if (state.loadingSpinner_) {
    const double w = bounds.size.width, h = bounds.size.height;
    state.loadingSpinner_->setFrame(platform::Rect((w - kSpinnerSize) * 0.5, (h - kSpinnerSize) * 0.5, kSpinnerSize, kSpinnerSize));
    state.loadingSpinner_->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin |
                                               platform::kAutoresizingFlexibleRightMargin);
    state.loadingSpinner_->startAnimating();
    state.webView_->addSubview(state.loadingSpinner_);
  }
}

void GADWebAppViewController::viewDidAppear(platform::Animated animated) {
  GADViewController::viewDidAppear(animated);
  if (auto* delegate = webViewDelegate()) delegate->setPendingOnShow(true);
}

void GADWebAppViewController::viewDidDisappear(platform::Animated animated) {
  auto& statistics = GADStatistics::sharedStatistics();
  statistics.endTimingNamed(kGADParameterPriorLandingPageDuration);
  statistics.endTimingNamed(kGADParameterPriorClickLatency);
  GADViewController::viewDidDisappear(animated);
  GADNotificationCenter::postJSNotificationUserInfoWebView("onhide", std::nullopt, webView());
}

void GADWebAppViewController::didRotateFromInterfaceOrientation(int from) {
  GADViewController::didRotateFromInterfaceOrientation(from);
  if (webView()) GADWebViewDelegate::notifyWebViewOfOrientationChange(*webView(), interfaceOrientation());
}
