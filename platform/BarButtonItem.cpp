#include "platform/BarButtonItem.h"

#include "platform/PeerFactory.h"
#include "platform/Toolkit.h"
#include "platform/View.h"

namespace platform {

std::shared_ptr<BarButtonItem> BarButtonItem::createWithSystemItem(int systemItem, std::function<void()> action) {
  return std::make_shared<BarButtonItem>(systemItem, nullptr, nullptr, std::move(action));
}

std::shared_ptr<BarButtonItem> BarButtonItem::createWithImage(std::shared_ptr<const Image> image, int style,
                                                              std::function<void()> action) {
  auto item = std::make_shared<BarButtonItem>(kSystemItemNone, std::move(image), nullptr, std::move(action));
  item->setStyle(style);
  return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::createWithCustomView(std::shared_ptr<View> view) {
  return std::make_shared<BarButtonItem>(kSystemItemNone, nullptr, std::move(view), nullptr);
}

BarButtonItem::BarButtonItem(int systemItem, std::shared_ptr<const Image> image, std::shared_ptr<View> customView,
                             std::function<void()> action)
    : systemItem_(systemItem), image_(std::move(image)), customView_(std::move(customView)), action_(std::move(action)) {}

// The peer goes before the custom view it may hold.
BarButtonItem::~BarButtonItem() { peer_.reset(); }

BarButtonItemPeer* BarButtonItem::peer() {
  if (peer_ || isFlexibleSpace() || !Toolkit::isInstalled()) return peer_.get();
  peer_ = Toolkit::current().peers().createBarButtonItemPeer(*this, weak_from_this());
  if (!peer_) return nullptr;
  peer_->setStyle(style_);
  peer_->setWidth(width_);
  peer_->setEnabled(enabled_);
  updateAccessibilityLabel();
  return peer_.get();
}

void BarButtonItem::setWidth(double width) {
  width_ = width;
  if (peer_) peer_->setWidth(width);
}

void BarButtonItem::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (peer_) peer_->setEnabled(enabled);
}

void BarButtonItem::setStyle(int style) {
  style_ = style;
  if (peer_) peer_->setStyle(style);
}

void BarButtonItem::setIsAccessibilityElement(bool element) {
  accessibilityElement_ = element;
  updateAccessibilityLabel();
}

void BarButtonItem::setAccessibilityLabel(std::string label) {
  accessibilityLabel_ = std::move(label);
  updateAccessibilityLabel();
}

void BarButtonItem::updateAccessibilityLabel() {
  if (peer_) peer_->setAccessibilityLabel(accessibilityElement_ ? accessibilityLabel_ : std::string());
}

void BarButtonItem::press() {
  if (!enabled_ || !action_) return;
  // The action may release this item: run a copy.
  auto action = action_;
  action();
}

}  // namespace platform
