#include "ads/content/GADOpeningPage.h"

GADOpeningPage::GADOpeningPage(platform::WebView* webView) {
  if (!webView) return;
  webView_ = std::static_pointer_cast<platform::WebView>(webView->shared_from_this());
  generation_ = webView->loadGeneration();
}

platform::WebView* GADOpeningPage::webView() const {
  auto view = webView_.lock();
  if (!view || view->loadGeneration() != generation_) return nullptr;
  return view.get();
}
