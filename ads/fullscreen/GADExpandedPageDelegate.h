// The web view delegate of the page an inline ad expands to by URL (the
// second part of a two-part expand). Besides the ad messages every ad page
// may send, the page has the rich-media interface in the "expanded" state
// from its first load: its close() gives the screen back; any other act
// that would open something over the screen is refused and answered as
// the page's error, since one ad screen is up already.
#pragma once

#include <memory>

#include "ads/content/GADMRAIDBridge.h"
#include "ads/content/GADWebViewDelegate.h"

class GADExpandedPageDelegate : public GADWebViewDelegate {
 public:
  // Prepares `webView` (still empty) for the interface.
  GADExpandedPageDelegate(platform::WebView& webView, const std::string& adUnitID);

  void webViewDidStartLoad(platform::WebView& webView) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  GADMRAIDBridge& mraid() { return mraid_; }

 protected:
  void receiveMRAIDCall(platform::WebView& webView, const std::string& call,
                        const platform::Dictionary& parameters) override;

 private:
  GADMRAIDBridge mraid_;
};
