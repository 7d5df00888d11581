#include "ads/fullscreen/GADExpandedPageDelegate.h"

#include "ads/fullscreen/GADRelinquishableScreen.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"

GADExpandedPageDelegate::GADExpandedPageDelegate(platform::WebView& webView, const std::string& adUnitID)
    : mraid_(webView) {
  mraid_.prepare(adUnitID);
}

void GADExpandedPageDelegate::webViewDidStartLoad(platform::WebView& webView) {
  GADWebViewDelegate::webViewDidStartLoad(webView);
  mraid_.pageDidChange();
}

void GADExpandedPageDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  GADWebViewDelegate::webViewDidFinishLoad(webView);
  if (mraid_.state() == "loading") mraid_.adDidShow(viewController(), "expanded");
}

void GADExpandedPageDelegate::receiveMRAIDCall(platform::WebView&, const std::string& call,
                                               const platform::Dictionary&) {
  if (call == "loaded") {
    mraid_.pageDidLoadInterface(viewController());
  } else if (call == "close" || call == "unload") {
    if (auto* screen = dynamic_cast<GADRelinquishableScreen*>(viewController())) screen->relinquishScreen();
  } else if (call == "open" || call == "playVideo" || call == "expand" || call == "resize") {
    mraid_.reportError("the ad's screen is up already", call);
  }
}
