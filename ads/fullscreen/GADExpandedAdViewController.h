// An inline ad expanded by its page's own rich-media call: the banner's web
// view itself, lent to this screen over the whole application until the
// screen goes, under a close control in the top-right corner that the page
// can neither hide nor cover (a control of the application's, above the
// page). Close, Escape and the page's own close() give it back. As an ad
// screen it keeps the rule of one at a time, and it pauses the banners'
// refresh while it is up. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ads/fullscreen/GADExpandedPageDelegate.h"
#include "ads/fullscreen/GADViewController.h"
#include "platform/URL.h"

namespace platform {
class Button;
class WebView;
}  // namespace platform

class GADExpandedAdViewController : public GADViewController {
 public:
  // The close control's region: the page keeps out of it.
  static constexpr double kCloseRegionSize = 50;

  std::string className() const override { return "GADExpandedAdViewController"; }
  // The page to show, and what to do once the screen has gone (the web
  // view has left it by then): before presentation.
  void lend(std::shared_ptr<platform::WebView> webView, std::function<void(std::shared_ptr<platform::WebView>)> giveBack);
  // Or a page of its own from `url`, with the rich-media interface for the
  // ad unit; `done` once the screen has gone.
  void showPage(const platform::URL& url, const std::string& adUnitID, std::function<void()> done);
  // The page shown: the banner's, lent, or the screen's own.
  platform::WebView* webView() const { return webView_.get(); }
  platform::Button* closeButton() const { return closeButton_.get(); }
  // A close control of the client's over an ad's page (this screen's, a
  // resized ad's): the close picture, named "Close", in `frame`, doing
  // `action`. Added after the page, it lies above whatever the page draws.
  static std::shared_ptr<platform::Button> closeControl(const platform::Rect& frame, std::function<void()> action);

  void viewWillAppear(platform::Animated animated) override;
  void viewDidDisappear(platform::Animated animated) override;

 protected:
  friend class GADViewController;
  GADExpandedAdViewController() = default;
  // Its page's click opens the landing page in a browser over it.
  Kind kind() const override { return Kind::ExpandedAd; }

 private:
  std::shared_ptr<platform::WebView> webView_;
  std::function<void(std::shared_ptr<platform::WebView>)> giveBack_;
  std::shared_ptr<platform::Button> closeButton_;
  // A page of its own (showPage), and its delegate.
  std::optional<platform::URL> url_;
  std::string adUnitID_;
  std::function<void()> done_;
  std::unique_ptr<GADExpandedPageDelegate> pageDelegate_;
};
