#include "platform/Toolbar.h"

#include <utility>

#include "platform/BarButtonItem.h"
#include "platform/PeerFactory.h"

namespace platform {

std::shared_ptr<Toolbar> Toolbar::create(const Rect& frame) { return View::make<Toolbar>(frame); }

std::unique_ptr<ViewPeer> Toolbar::makePeer(PeerFactory& peers) {
  auto peer = peers.createToolbarPeer();
  toolbarPeer_ = peer.get();
  if (toolbarPeer_) toolbarPeer_->setTintColor(tintColor_);
  pushItems();
  return peer;
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items) {
  // The old items stay alive until the peer has let their widgets go.
  auto old = std::exchange(items_, std::move(items));
  pushItems();
}

void Toolbar::setTintColor(const Color& color) {
  tintColor_ = color;
  if (toolbarPeer_) toolbarPeer_->setTintColor(color);
}

void Toolbar::pushItems() {
  if (!toolbarPeer_) return;
  std::vector<BarButtonItem*> items;
  items.reserve(items_.size());
  for (const auto& item : items_) {
    item->peer();
    items.push_back(item.get());
  }
  toolbarPeer_->setItems(items);
}

}  // namespace platform
