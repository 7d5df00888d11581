#include "platform/Label.h"

#include "platform/PeerFactory.h"

namespace platform {

std::shared_ptr<Label> Label::create(const Rect& frame, std::string text) {
  return View::make<Label>(frame, std::move(text));
}

Label::Label(const Rect& frame, std::string text) : View(frame), text_(std::move(text)) {}

std::unique_ptr<ViewPeer> Label::makePeer(PeerFactory& peers) {
  auto peer = peers.createLabelPeer();
  labelPeer_ = peer.get();
  if (labelPeer_) labelPeer_->setText(text_);
  return peer;
}

void Label::setText(std::string text) {
  text_ = std::move(text);
  if (labelPeer_) labelPeer_->setText(text_);
}

}  // namespace platform
