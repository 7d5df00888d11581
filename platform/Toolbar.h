// A bar of items along an edge of a screen. It owns its items; setting the
// items replaces them all, and the same flexible-space item may stand in
// several places. Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/View.h"

namespace platform {

class BarButtonItem;

class ToolbarPeer : public ViewPeer {
 public:
  // Every item but flexible space has its peer.
  virtual void setItems(const std::vector<BarButtonItem*>& items) = 0;
  virtual void setTintColor(const Color& color) = 0;
};

class Toolbar : public View {
 public:
  static std::shared_ptr<Toolbar> create(const Rect& frame);
  explicit Toolbar(const Rect& frame) : View(frame) {}

  const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<BarButtonItem>> items);
  Color tintColor() const { return tintColor_; }
  void setTintColor(const Color& color);
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool autoresizes) { autoresizesSubviews_ = autoresizes; }

 protected:
  std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers) override;

 private:
  void pushItems();

  std::vector<std::shared_ptr<BarButtonItem>> items_;
  Color tintColor_ = Color::clear();
  bool autoresizesSubviews_ = true;
  ToolbarPeer* toolbarPeer_ = nullptr;  // the view's peer, typed
};

}  // namespace platform
