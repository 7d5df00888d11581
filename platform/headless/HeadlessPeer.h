// Headless peers record what the view layer told them, for tests to read:
// frame, hidden flag, colour, accessible name and role, children in order
// and parent. A peer's
// record is its toolkit handle.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/View.h"

namespace platform {

struct HeadlessPeerRecord {
  Rect frame;
  bool hidden = false;
  bool userInteractionEnabled = true;
  Color backgroundColor;
  std::string accessibleName;
  AccessibleRole accessibleRole = AccessibleRole::Default;
  HeadlessPeerRecord* parent = nullptr;
  std::vector<HeadlessPeerRecord*> children;

  // The record of `view`'s peer; null when it has none.
  static const HeadlessPeerRecord* of(const View& view) {
    return view.peer() ? static_cast<const HeadlessPeerRecord*>(view.peer()->toolkitHandle()) : nullptr;
  }
};

template <class PeerInterface>
class HeadlessPeer : public PeerInterface {
 public:
  HeadlessPeer() = default;
  ~HeadlessPeer() override {
    if (record_.parent) std::erase(record_.parent->children, &record_);
    for (auto* child : record_.children) child->parent = nullptr;
  }
  HeadlessPeer(const HeadlessPeer&) = delete;
  HeadlessPeer& operator=(const HeadlessPeer&) = delete;

  const HeadlessPeerRecord& record() const { return record_; }
  void* toolkitHandle() override { return &record_; }

  void setFrame(const Rect& frame) override { record_.frame = frame; }
  void setHidden(bool hidden) override { record_.hidden = hidden; }
  void setUserInteractionEnabled(bool enabled) override { record_.userInteractionEnabled = enabled; }
  void setBackgroundColor(const Color& color) override { record_.backgroundColor = color; }
  void setAccessibleName(const std::string& name) override { record_.accessibleName = name; }
  void setAccessibleRole(AccessibleRole role) override { record_.accessibleRole = role; }
  void addChild(ViewPeer& child, const Rect& frame) override {
    auto* record = static_cast<HeadlessPeerRecord*>(child.toolkitHandle());
    if (record->parent) std::erase(record->parent->children, record);
    record->parent = &record_;
    record->frame = frame;
    record_.children.push_back(record);
  }
  void removeChild(ViewPeer& child) override {
    auto* record = static_cast<HeadlessPeerRecord*>(child.toolkitHandle());
    if (record->parent != &record_) return;
    std::erase(record_.children, record);
    record->parent = nullptr;
  }

 private:
  HeadlessPeerRecord record_;
};

}  // namespace platform
