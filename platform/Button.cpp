#include "platform/Button.h"

#include "platform/Toolkit.h"

namespace platform {

std::shared_ptr<Button> Button::create(const Rect& frame, std::string title) {
  return std::make_shared<Button>(frame, std::move(title));
}

Button::Button(const Rect& frame, std::string title) : View(frame), title_(std::move(title)) {
  auto peer = Toolkit::current().createButtonPeer(*this);
  if (auto* buttonPeer = dynamic_cast<ButtonPeer*>(peer.get())) buttonPeer->setTitle(title_);
  setPeer(std::move(peer));
}

void Button::setTitle(std::string title) {
  title_ = std::move(title);
  if (auto* buttonPeer = dynamic_cast<ButtonPeer*>(peer())) buttonPeer->setTitle(title_);
}

void Button::press() {
  if (!action_) return;
  // The action may release this button: run a copy.
  auto action = action_;
  action();
}

}  // namespace platform
