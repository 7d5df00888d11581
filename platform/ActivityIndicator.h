// A spinner that turns while something loads. Hidden while it stands still,
// as the phone's spinner is by default.
#pragma once

#include <memory>

#include "platform/View.h"

namespace platform {

class ActivityIndicatorPeer : public ViewPeer {
 public:
  virtual void setAnimating(bool animating) = 0;
  virtual void setStyle(int style) = 0;
};

class ActivityIndicator : public View {
 public:
  enum Style : int { kStyleWhiteLarge = 0, kStyleWhite = 1, kStyleGray = 2 };

  static std::shared_ptr<ActivityIndicator> create(int style = kStyleWhite);
  explicit ActivityIndicator(int style);

  int style() const { return style_; }
  bool isAnimating() const { return animating_; }
  void startAnimating();
  void stopAnimating();

 protected:
  std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers) override;

 private:
  void setAnimating(bool animating);

  int style_;
  bool animating_ = false;
  ActivityIndicatorPeer* spinnerPeer_ = nullptr;  // the view's peer, typed
};

}  // namespace platform
