// A push button with a title or an image, and one action.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/View.h"

namespace platform {

class Image;

class ButtonPeer : public ViewPeer {
 public:
  virtual void setTitle(const std::string& title) = 0;
  // Null: the title shows.
  virtual void setImage(const std::shared_ptr<const Image>& image) = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual void setShowsTouchWhenHighlighted(bool shows) = 0;
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
  // Shown in place of the title, at its size in points.
  const std::shared_ptr<const Image>& image() const { return image_; }
  void setImage(std::shared_ptr<const Image> image);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  // A glow while pressed.
  bool showsTouchWhenHighlighted() const { return showsTouchWhenHighlighted_; }
  void setShowsTouchWhenHighlighted(bool shows);
  // Called on each press; the button does not own what the action captures.
  void setAction(std::function<void()> action) { action_ = std::move(action); }
  // A press, from the toolkit or a test; nothing while disabled.
  void press();

  void peerWasPressed() override { press(); }

 protected:
  std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers) override;

 private:
  std::string title_;
  std::shared_ptr<const Image> image_;
  bool enabled_ = true;
  bool showsTouchWhenHighlighted_ = false;
  std::function<void()> action_;
  ButtonPeer* buttonPeer_ = nullptr;  // the view's peer, typed
};

}  // namespace platform
