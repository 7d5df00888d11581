#include "platform/ActivityIndicator.h"

#include "platform/PeerFactory.h"

namespace platform {

std::shared_ptr<ActivityIndicator> ActivityIndicator::create(int style) { return View::make<ActivityIndicator>(style); }

// The phone's spinner is 20 x 20 points in the white style.
ActivityIndicator::ActivityIndicator(int style) : View(Rect(0, 0, 20, 20)), style_(style) { setHidden(true); }

std::unique_ptr<ViewPeer> ActivityIndicator::makePeer(PeerFactory& peers) {
  auto peer = peers.createActivityIndicatorPeer();
  spinnerPeer_ = peer.get();
  if (spinnerPeer_) {
    spinnerPeer_->setStyle(style_);
    spinnerPeer_->setAnimating(animating_);
  }
  return peer;
}

void ActivityIndicator::startAnimating() { setAnimating(true); }
void ActivityIndicator::stopAnimating() { setAnimating(false); }

void ActivityIndicator::setAnimating(bool animating) {
  animating_ = animating;
  setHidden(!animating);
  if (spinnerPeer_) spinnerPeer_->setAnimating(animating);
}

}  // namespace platform
