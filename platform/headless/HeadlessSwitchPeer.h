// A headless switch's peer: records its state and lets a test flip it as
// the toolkit would, through the switch's client interface.
#pragma once

#include <memory>

#include "platform/Switch.h"
#include "platform/headless/HeadlessPeer.h"

namespace platform {

class HeadlessSwitchPeer final : public HeadlessPeer<SwitchPeer> {
 public:
  explicit HeadlessSwitchPeer(std::weak_ptr<SwitchClient> client) : client_(std::move(client)) {}

  bool on() const { return on_; }
  void setOn(bool on) override { on_ = on; }
  // The user's flip; nothing reaches a switch that has gone.
  void flipByUser() {
    on_ = !on_;
    if (auto client = client_.lock()) client->peerWasFlipped(on_);
  }

 private:
  std::weak_ptr<SwitchClient> client_;
  bool on_ = false;
};

}  // namespace platform
