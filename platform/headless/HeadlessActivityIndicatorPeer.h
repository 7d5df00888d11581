// A headless spinner's peer: records whether it turns and its style.
#pragma once

#include <memory>
#include <string>

#include "platform/ActivityIndicator.h"
#include "platform/headless/HeadlessPeer.h"

namespace platform {

class HeadlessActivityIndicatorPeer final : public HeadlessPeer<ActivityIndicatorPeer> {
 public:
  bool animating() const { return animating_; }
  int style() const { return style_; }
  void setAnimating(bool animating) override { animating_ = animating; }
  void setStyle(int style) override { style_ = style; }

 private:
  bool animating_ = false;
  int style_ = 0;
};

}  // namespace platform
