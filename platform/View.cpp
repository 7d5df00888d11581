#include "platform/View.h"

#include <algorithm>

#include "platform/NumberText.h"
#include "platform/PeerFactory.h"
#include "platform/Toolkit.h"

namespace platform {

std::shared_ptr<View> View::create(const Rect& frame) { return make<View>(frame); }

std::shared_ptr<View> View::createWithPeer(const Rect& frame, std::unique_ptr<ViewPeer> peer) {
  auto view = std::make_shared<View>(frame);
  view->setPeer(std::move(peer));
  return view;
}

View::View(const Rect& frame) : frame_(frame) {}

std::unique_ptr<ViewPeer> View::makePeer(PeerFactory& peers) { return peers.createViewPeer(weak_from_this()); }

void View::attachPeer() {
  if (Toolkit::isInstalled()) setPeer(makePeer(Toolkit::current().peers()));
}

View::~View() {
  // Children go first, each taking its peer out of ours.
  for (auto& child : subviews_) {
    child->superview_ = nullptr;
    if (peer_ && child->peer_) peer_->removeChild(*child->peer_);
  }
  subviews_.clear();
}

void View::setPeer(std::unique_ptr<ViewPeer> peer) {
  peer_ = std::move(peer);
  if (!peer_) return;
  peer_->setFrame(frame_);
  peer_->setHidden(hidden_);
  peer_->setUserInteractionEnabled(userInteractionEnabled_);
  peer_->setBackgroundColor(backgroundColor_);
  if (accessibleRole_ != AccessibleRole::Default) peer_->setAccessibleRole(accessibleRole_);
  if (!accessibleName_.empty()) peer_->setAccessibleName(accessibleName_);
  for (const auto& child : subviews_)
    if (child->peer_) peer_->addChild(*child->peer_, child->frame_);
}

namespace {
// One axis of a subview's frame when its superview's size changes by
// `delta`: the flexible parts (leading margin, size, trailing margin) share
// the change in proportion to their present lengths, or evenly when those
// are all 0.
void resizeAxis(double& origin, double& length, double trailing, double delta, bool flexibleLeading,
                bool flexibleLength, bool flexibleTrailing) {
  const double parts[3] = {flexibleLeading ? origin : 0, flexibleLength ? length : 0,
                           flexibleTrailing ? trailing : 0};
  const int count = int(flexibleLeading) + int(flexibleLength) + int(flexibleTrailing);
  if (count == 0) return;
  const double total = parts[0] + parts[1] + parts[2];
  auto share = [&](int i, bool flexible) {
    if (!flexible) return 0.0;
    return total > 0 ? delta * parts[i] / total : delta / count;
  };
  origin += share(0, flexibleLeading);
  length += share(1, flexibleLength);
}
}  // namespace

void View::setFrame(const Rect& frame) {
  const Size old = frame_.size;
  frame_ = frame;
  if (peer_) peer_->setFrame(frame);
  if (old.width == frame.size.width && old.height == frame.size.height) return;
  // Subviews follow the new size by their masks, as the platform's own
  // views do.
  for (const auto& child : subviews_) {
    const unsigned mask = child->autoresizingMask();
    if (mask == kAutoresizingNone) continue;
    Rect f = child->frame();
    resizeAxis(f.origin.x, f.size.width, old.width - f.x() - f.width(), frame.size.width - old.width,
               mask & kAutoresizingFlexibleLeftMargin, mask & kAutoresizingFlexibleWidth,
               mask & kAutoresizingFlexibleRightMargin);
    resizeAxis(f.origin.y, f.size.height, old.height - f.y() - f.height(), frame.size.height - old.height,
               mask & kAutoresizingFlexibleTopMargin, mask & kAutoresizingFlexibleHeight,
               mask & kAutoresizingFlexibleBottomMargin);
    child->setFrame(f);
  }
}

void View::setUserInteractionEnabled(bool enabled) {
  userInteractionEnabled_ = enabled;
  if (peer_) peer_->setUserInteractionEnabled(enabled);
}

void View::setHidden(bool hidden) {
  hidden_ = hidden;
  if (peer_) peer_->setHidden(hidden);
}

std::string Color::cssText() const {
  auto channel = [](double value) { return std::to_string(static_cast<int>(std::clamp(value, 0.0, 1.0) * 255)); };
  return "rgba(" + channel(red) + "," + channel(green) + "," + channel(blue) + "," +
         NumberText::fixed(std::clamp(alpha, 0.0, 1.0), 3) + ")";
}

void View::setBackgroundColor(const Color& color) {
  backgroundColor_ = color;
  if (peer_) peer_->setBackgroundColor(color);
}

void View::setAccessibleName(std::string name) {
  accessibleName_ = std::move(name);
  if (peer_) peer_->setAccessibleName(accessibleName_);
}

void View::setAccessibleRole(AccessibleRole role) {
  if (role == accessibleRole_) return;
  accessibleRole_ = role;
  if (peer_) peer_->setAccessibleRole(role);
}

void View::addSubview(const std::shared_ptr<View>& view) {
  if (!view || view.get() == this) return;
  auto keep = view;
  view->removeFromSuperview();
  view->superview_ = this;
  subviews_.push_back(view);
  if (peer_ && view->peer_) peer_->addChild(*view->peer_, view->frame_);
}

void View::removeFromSuperview() {
  View* parent = superview_;
  if (!parent) return;
  superview_ = nullptr;
  if (parent->peer_ && peer_) parent->peer_->removeChild(*peer_);
  auto it = std::find_if(parent->subviews_.begin(), parent->subviews_.end(),
                         [this](const std::shared_ptr<View>& v) { return v.get() == this; });
  if (it != parent->subviews_.end()) {
    // Erasing may release the last owner of this view: keep it until done.
    auto self = std::move(*it);
    parent->subviews_.erase(it);
  }
}

}  // namespace platform
