// A headless toolbar's peer: records its items in order and its tint.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Toolbar.h"
#include "platform/headless/HeadlessPeer.h"

namespace platform {

class HeadlessToolbarPeer final : public HeadlessPeer<ToolbarPeer> {
 public:
  const std::vector<BarButtonItem*>& items() const { return items_; }
  Color tintColor() const { return tint_; }
  void setItems(const std::vector<BarButtonItem*>& items) override { items_ = items; }
  void setTintColor(const Color& color) override { tint_ = color; }

 private:
  std::vector<BarButtonItem*> items_;
  Color tint_;
};

}  // namespace platform
