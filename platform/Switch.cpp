#include "platform/Switch.h"

#include "platform/PeerFactory.h"

namespace platform {

std::shared_ptr<Switch> Switch::create(const Rect& frame, std::string accessibleName) {
  return View::make<Switch>(frame, std::move(accessibleName));
}

Switch::Switch(const Rect& frame, std::string accessibleName) : View(frame) {
  setAccessibleName(std::move(accessibleName));
}

std::unique_ptr<ViewPeer> Switch::makePeer(PeerFactory& peers) {
  auto self = std::static_pointer_cast<Switch>(shared_from_this());
  auto peer = peers.createSwitchPeer(std::weak_ptr<SwitchClient>(self));
  switchPeer_ = peer.get();
  if (switchPeer_) switchPeer_->setOn(on_);
  return peer;
}

void Switch::setOn(bool on) {
  on_ = on;
  if (switchPeer_) switchPeer_->setOn(on);
}

void Switch::flip(bool on) {
  if (on == on_) return;
  on_ = on;
  // The action may release this switch: run a copy.
  if (auto action = action_) action(on);
}

}  // namespace platform
