// The ad loader behind one banner view: created by the banner, owned by the
// private-object registry, destroyed with the banner. It owns the banner's
// delegate manager and its own copy of the current request.
//
// Its refresh timer and deferred calls hold it alive; the banner cancels
// them (cancelPendingActions) before it lets the loader go.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Geometry.h"

namespace platform {
class Timer;
class ViewController;
class View;
}  // namespace platform

class GADBannerView;
class GADDelegateManager;
class GADRequest;
class GADRequestPrivate;

enum GADObjectState : std::int32_t {
  kGADObjectStateIdle = 0,
  kGADObjectStateLoadingScript = 1,
  kGADObjectStateScriptFailed = 2,
  kGADObjectStateBuildingAdURL = 3,
  kGADObjectStateLoadingAdHTML = 4,
  kGADObjectStateRenderingAd = 5,
  kGADObjectStateAdShown = 6,
  kGADObjectStateFailed = 7,
};

class GADObjectPrivate : public std::enable_shared_from_this<GADObjectPrivate> {
 public:
  // The loader of `view` (not retained), with the banner's bounds.
  static std::shared_ptr<GADObjectPrivate> createWithView(GADBannerView* view);
  static std::shared_ptr<GADObjectPrivate> createWithFrame(const platform::Rect& frame);
  ~GADObjectPrivate();
  GADObjectPrivate(const GADObjectPrivate&) = delete;
  GADObjectPrivate& operator=(const GADObjectPrivate&) = delete;

  // Takes the request (null: a new default one) as the loader's own copy.
  void loadRequest(const std::shared_ptr<GADRequest>& request);
  // Cancels every deferred call that targets this loader and the refresh timer.
  void cancelPendingActions();
  // The banner is going: nothing may name it any more. Its owner calls this
  // before it lets the loader go, since a fetch or a page may outlive it.
  void detachFromAdView();

  // Null yields a new default request, a GADRequestPrivate is returned
  // unchanged, any other request yields null.
  static std::shared_ptr<GADRequestPrivate> privateRequestWithRequest(const std::shared_ptr<GADRequest>& request);

  GADBannerView* adView() const { return adView_; }
  const std::string& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::string adUnitID) { adUnitID_ = std::move(adUnitID); }
  GADDelegateManager* delegateManager() const { return delegateManager_.get(); }
  // Not retained: null once the controller has gone.
  platform::ViewController* rootViewController() const { return rootViewController_.lock().get(); }
  void setRootViewController(platform::ViewController* controller);
  GADRequestPrivate* request() const { return request_.get(); }
  GADObjectState state() const { return static_cast<GADObjectState>(state_); }
  void changeState(GADObjectState state) {
    if (state_ != state) state_ = state;
  }
  bool hasAutoRefreshed() const { return hasAutoRefreshed_; }
  std::int32_t supportedOrientations() const { return supportedOrientations_; }
  bool hasReloadTimer() const { return reloadTimer_ != nullptr; }

 private:
  explicit GADObjectPrivate(const platform::Rect& frame);
  void resetReloadTimer();

  GADBannerView* adView_ = nullptr;
  std::string adUnitID_;
  std::shared_ptr<GADDelegateManager> delegateManager_;
  std::weak_ptr<platform::ViewController> rootViewController_;
  std::shared_ptr<GADRequestPrivate> request_;
  std::int32_t state_ = kGADObjectStateIdle;
  std::shared_ptr<platform::Timer> reloadTimer_;
  double reloadSeconds_ = 0;
  bool hasAutoRefreshed_ = false;
  std::int32_t supportedOrientations_ = 1;
};
