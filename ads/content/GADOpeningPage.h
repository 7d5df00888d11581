// The ad page that opened a screen: the web view it was shown in, and which
// of that web view's pages it was (its load generation). Once the web view
// has been asked to load anything since (a refresh, the next ad), that page
// has gone, though the web view is kept warm for the next: the next
// advertiser's page is no opener of a screen the last one opened.
// Holds the web view weakly. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/WebView.h"

class GADOpeningPage {
 public:
  GADOpeningPage() = default;
  // The page `webView` shows now; null: none.
  explicit GADOpeningPage(platform::WebView* webView);

  // The web view while it still shows that page; null once it has gone,
  // or the web view has.
  platform::WebView* webView() const;

 private:
  std::weak_ptr<platform::WebView> webView_;
  std::uint64_t generation_ = 0;
};
