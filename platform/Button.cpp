#include "platform/Button.h"

#include "platform/PeerFactory.h"

namespace platform {

std::shared_ptr<Button> Button::create(const Rect& frame, std::string title) {
  return View::make<Button>(frame, std::move(title));
}

Button::Button(const Rect& frame, std::string title) : View(frame), title_(std::move(title)) {}

std::unique_ptr<ViewPeer> Button::makePeer(PeerFactory& peers) {
  auto self = std::static_pointer_cast<Button>(shared_from_this());
  auto peer = peers.createButtonPeer(std::weak_ptr<ButtonClient>(self));
  buttonPeer_ = peer.get();
  if (buttonPeer_) {
    buttonPeer_->setTitle(title_);
    buttonPeer_->setImage(image_);
    buttonPeer_->setEnabled(enabled_);
    buttonPeer_->setShowsTouchWhenHighlighted(showsTouchWhenHighlighted_);
  }
  return peer;
}

void Button::setTitle(std::string title) {
  title_ = std::move(title);
  if (buttonPeer_) buttonPeer_->setTitle(title_);
}

void Button::setImage(std::shared_ptr<const Image> image) {
  image_ = std::move(image);
  if (buttonPeer_) buttonPeer_->setImage(image_);
}

void Button::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (buttonPeer_) buttonPeer_->setEnabled(enabled);
}

void Button::setShowsTouchWhenHighlighted(bool shows) {
  showsTouchWhenHighlighted_ = shows;
  if (buttonPeer_) buttonPeer_->setShowsTouchWhenHighlighted(shows);
}

void Button::press() {
  if (!enabled_ || !action_) return;
  // The action may release this button: run a copy.
  auto action = action_;
  action();
}

}  // namespace platform
