// A push button with a title and one action.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/View.h"

namespace platform {

class ButtonPeer : public ViewPeer {
 public:
  virtual void setTitle(const std::string& title) = 0;
};

// What a button's peer calls back: it holds this weakly, so a press that
// arrives after the button has gone is dropped.
class ButtonClient {
 public:
  virtual ~ButtonClient() = default;
  virtual void peerWasPressed() = 0;
};

class Button : public View, public ButtonClient {
 public:
  static std::shared_ptr<Button> create(const Rect& frame, std::string title = {});
  Button(const Rect& frame, std::string title);

  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  // Called on each press; the button does not own what the action captures.
  void setAction(std::function<void()> action) { action_ = std::move(action); }
  // A press, from the toolkit or a test.
  void press();

  void peerWasPressed() override { press(); }

 protected:
  std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers) override;

 private:
  std::string title_;
  std::function<void()> action_;
  ButtonPeer* buttonPeer_ = nullptr;  // the view's peer, typed
};

}  // namespace platform
