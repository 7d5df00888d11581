// A headless label's peer: records its text.
#pragma once

#include <string>

#include "platform/Label.h"
#include "platform/headless/HeadlessPeer.h"

namespace platform {

class HeadlessLabelPeer final : public HeadlessPeer<LabelPeer> {
 public:
  const std::string& text() const { return text_; }
  void setText(const std::string& text) override { text_ = text; }

 private:
  std::string text_;
};

}  // namespace platform
