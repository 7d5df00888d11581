// The banner the application places in its view hierarchy. It keeps no
// state of its own: everything is forwarded to its ad loader, found through
// the private-object registry. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "ads/core/GADBannerViewDelegate.h"
#include "platform/View.h"

namespace platform {
class WebView;
class ViewController;
}

class GADObjectPrivate;
class GADRequest;

class GADBannerView : public platform::View {
 public:
  static std::shared_ptr<GADBannerView> create(const platform::Rect& frame = {});
  explicit GADBannerView(const platform::Rect& frame);
  ~GADBannerView() override;

  // The loader registered under this view, or null.
  std::shared_ptr<GADObjectPrivate> privateObject() const;

  std::string adUnitID() const;
  void setAdUnitID(std::string adUnitID);
  // Not retained. Full-screen ad content is presented from it; it must be
  // set before loadRequest.
  platform::ViewController* rootViewController() const;
  void setRootViewController(platform::ViewController* controller);
  // Not retained. Setting it also makes this view the one callbacks name.
  std::weak_ptr<GADBannerViewDelegate> delegate() const;
  void setDelegate(std::weak_ptr<GADBannerViewDelegate> delegate);
  bool hasAutoRefreshed() const;
  // The web view that shows the ad (the loader's), or null.
  platform::WebView* webView() const;

  // Starts loading an ad for `request` (may be null). Without a root view
  // controller: logs, reports one code-0 failure and changes nothing else.
  void loadRequest(const std::shared_ptr<GADRequest>& request);

 private:
  void commonInitializer();
};
