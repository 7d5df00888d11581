// The delegate of the banner's ad web view. Until the ad is on screen it
// decides as every ad web view does, so the ad's page and its resources
// load; the end of that load shows the ad, fires its impressions and tells
// the application. From then on a navigation the user makes from the ad is
// a click: it is tracked and opened in a screen or elsewhere. What the ad
// does by itself is no click, and the banner never leaves the shown ad.
//
// Owned by the ad loader, which it does not retain.
#pragma once

#include <memory>

#include "ads/content/GADMRAIDBridge.h"
#include "ads/content/GADWebViewDelegate.h"

namespace platform {
class Button;
}
class GADExpandedAdViewController;
class GADObjectPrivate;

class GADBannerWebViewDelegate : public GADWebViewDelegate {
 public:
  // Becomes the delegate of the loader's web view.
  explicit GADBannerWebViewDelegate(GADObjectPrivate* loader);
  ~GADBannerWebViewDelegate() override;

  bool webViewShouldStartLoadWithRequestNavigationType(platform::WebView& webView, const platform::URLRequest& request,
                                                       platform::NavigationType type) override;
  bool webViewShouldCommitMainFrameLoad(platform::WebView& webView, const std::optional<platform::URL>& url) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidChangeTitle(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView, const platform::Error& error) override;
  void webViewWebProcessDidTerminate(platform::WebView& webView, platform::WebProcessTermination reason) override;
  void webViewDidStartLoad(platform::WebView& webView) override;

  // Null while the loader has no web view.
  GADMRAIDBridge* mraid() const { return mraid_.get(); }

 protected:
  void receiveMRAIDCall(platform::WebView& webView, const std::string& call,
                        const platform::Dictionary& parameters) override;

 private:
  // The user went to `url` from the shown ad: tracked as a click and opened
  // in a screen or handed on, within the one-screen and allow-list rules,
  // taking the user's activation. False when nothing was done.
  bool clickThrough(platform::WebView& webView, const platform::URLRequest& request, platform::NavigationType type);
  // Whether the user's click stands behind the page's `call` now (the ad
  // shown, an unused activation); if not, the call is refused and the page
  // hears `why`. Looks only: the act takes the activation.
  bool clickStandsBehind(platform::WebView& webView, const std::string& call, const std::string& why);
  // The page's rich-media calls that act for the user.
  void openForPage(platform::WebView& webView, const platform::Dictionary& parameters, const std::string& call);
  // The ad's own page, or with "url" a page of the screen's own.
  void expand(platform::WebView& webView, const platform::Dictionary& parameters);
  // The page over the screen at the size and place it asked for, with our
  // close control at its top right; collapse puts it back in the banner.
  void resize(platform::WebView& webView, const platform::Dictionary& parameters);
  void collapse();
  // The ad's page back in its banner, in the default state.
  void returnToBanner();

  GADObjectPrivate* private_;
  std::unique_ptr<GADMRAIDBridge> mraid_;
  // The screen the page expanded into, while it is up.
  std::weak_ptr<GADExpandedAdViewController> expanded_;
  // The close control of the resized ad, while it is resized.
  std::shared_ptr<platform::Button> resizedClose_;
};
