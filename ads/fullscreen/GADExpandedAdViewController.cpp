#include "ads/fullscreen/GADExpandedAdViewController.h"

#include <utility>

#include "ads/fullscreen/GADIntrinsicImages.h"
#include "platform/Button.h"
#include "platform/Image.h"
#include "platform/WebView.h"

void GADExpandedAdViewController::lend(std::shared_ptr<platform::WebView> webView,
                                       std::function<void(std::shared_ptr<platform::WebView>)> giveBack) {
  webView_ = std::move(webView);
  giveBack_ = std::move(giveBack);
}

void GADExpandedAdViewController::showPage(const platform::URL& url, const std::string& adUnitID,
                                           std::function<void()> done) {
  url_ = url;
  adUnitID_ = adUnitID;
  done_ = std::move(done);
}

std::shared_ptr<platform::Button> GADExpandedAdViewController::closeControl(const platform::Rect& frame,
                                                                          std::function<void()> action) {
  auto control = platform::Button::create(frame);
  control->setImage(GADIntrinsicImages::closeButton());
  control->setAccessibleName("Close");
  control->setEnabled(true);
  control->setAction(std::move(action));
  return control;
}

void GADExpandedAdViewController::viewWillAppear(platform::Animated animated) {
  GADViewController::viewWillAppear(animated);
  if (closeButton_) return;
  if (url_ && !webView_) {
    webView_ = platform::WebView::create(view()->bounds());
    webView_->setAutoresizingMask(platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight);
    pageDelegate_ = std::make_unique<GADExpandedPageDelegate>(*webView_, adUnitID_);
    attachWebViewDelegate(*pageDelegate_, *webView_);
    webView_->loadRequest(platform::URLRequest(*url_));
  }
  if (!webView_) return;
  auto root = view();
  root->setAccessibleRole(platform::AccessibleRole::Group);
  root->setAccessibleName("Advertisement");
  root->setBackgroundColor(platform::Color::black());
  const platform::Rect bounds = root->bounds();
  webView_->setFrame(bounds);
  root->addSubview(webView_);

  const double size = kCloseRegionSize;
  std::weak_ptr<platform::ViewController> weak = weak_from_this();
  closeButton_ = closeControl(platform::Rect(bounds.width() - size, 0, size, size), [weak] {
    if (auto self = weak.lock()) static_cast<GADExpandedAdViewController*>(self.get())->relinquishScreen();
  });
  closeButton_->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin);
  root->addSubview(closeButton_);
}

void GADExpandedAdViewController::viewDidDisappear(platform::Animated animated) {
  GADViewController::viewDidDisappear(animated);
  if (pageDelegate_) {
    // The screen's own page ends with it.
    webView_->setDelegate(nullptr);
    webView_->removeFromSuperview();
    webView_.reset();
    pageDelegate_.reset();
    if (auto done = std::exchange(done_, nullptr)) done();
    return;
  }
  if (!webView_) return;
  auto webView = std::exchange(webView_, nullptr);
  webView->removeFromSuperview();
  if (auto giveBack = std::exchange(giveBack_, nullptr)) giveBack(std::move(webView));
}
