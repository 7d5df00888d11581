// A headless button's peer: records its title and lets a test press it as
// the toolkit would, through the button's client interface.
#pragma once

#include <memory>
#include <string>

#include "platform/Button.h"
#include "platform/headless/HeadlessPeer.h"

namespace platform {

class HeadlessButtonPeer final : public HeadlessPeer<ButtonPeer> {
 public:
  explicit HeadlessButtonPeer(std::weak_ptr<ButtonClient> client) : client_(std::move(client)) {}

  const std::string& title() const { return title_; }
  void setTitle(const std::string& title) override { title_ = title; }
  void setImage(const std::shared_ptr<const Image>& image) override { image_ = image; }
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  void setShowsTouchWhenHighlighted(bool shows) override { showsTouch_ = shows; }
  const std::shared_ptr<const Image>& image() const { return image_; }
  bool enabled() const { return enabled_; }
  bool showsTouchWhenHighlighted() const { return showsTouch_; }
  // A press from the toolkit's side; nothing when the button has gone.
  void tap() {
    if (auto client = client_.lock()) client->peerWasPressed();
  }

 private:
  std::weak_ptr<ButtonClient> client_;
  std::string title_;
  std::shared_ptr<const Image> image_;
  bool enabled_ = true;
  bool showsTouch_ = false;
};

}  // namespace platform
