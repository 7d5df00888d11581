// A headless toolbar item's peer: records its state and lets a test press
// it as the toolkit would.
#pragma once

#include <memory>
#include <string>

#include "platform/BarButtonItem.h"

namespace platform {

class HeadlessBarButtonItemPeer final : public BarButtonItemPeer {
 public:
  explicit HeadlessBarButtonItemPeer(std::weak_ptr<BarButtonItemClient> client) : client_(std::move(client)) {}
  void* toolkitHandle() override { return this; }
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  void setWidth(double width) override { width_ = width; }
  void setStyle(int style) override { style_ = style; }
  void setAccessibilityLabel(const std::string& label) override { label_ = label; }

  bool enabled() const { return enabled_; }
  double width() const { return width_; }
  int style() const { return style_; }
  const std::string& accessibilityLabel() const { return label_; }
  // A press from the toolkit's side; the item itself ignores it while
  // disabled.
  void tap() {
    if (auto client = client_.lock()) client->peerWasPressed();
  }

 private:
  std::weak_ptr<BarButtonItemClient> client_;
  bool enabled_ = true;
  double width_ = 0;
  int style_ = 0;
  std::string label_;
};

}  // namespace platform
