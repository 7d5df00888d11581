// An on/off switch. The user's flip calls the action with the new state; a
// change made by the program (setOn) calls nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/View.h"

namespace platform {

class SwitchPeer : public ViewPeer {
 public:
  virtual void setOn(bool on) = 0;
};

// What a switch's peer calls back, held weakly: a flip that arrives after
// the switch has gone is dropped.
class SwitchClient {
 public:
  virtual ~SwitchClient() = default;
  virtual void peerWasFlipped(bool on) = 0;
};

class Switch : public View, public SwitchClient {
 public:
  static std::shared_ptr<Switch> create(const Rect& frame, std::string accessibleName);
  Switch(const Rect& frame, std::string accessibleName);

  bool isOn() const { return on_; }
  void setOn(bool on);
  void setAction(std::function<void(bool on)> action) { action_ = std::move(action); }
  // The user's flip, from the toolkit or a test.
  void flip(bool on);

  void peerWasFlipped(bool on) override { flip(on); }

 protected:
  std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers) override;

 private:
  bool on_ = false;
  std::function<void(bool)> action_;
  SwitchPeer* switchPeer_ = nullptr;  // the view's peer, typed
};

}  // namespace platform
