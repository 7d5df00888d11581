// A button's peer: a GtkButton whose clicks reach the button through its
// client interface, held weakly.
#pragma once

#include <memory>

#include "platform/Button.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkButtonPeer final : public GtkPeer<ButtonPeer> {
 public:
  explicit GtkButtonPeer(std::weak_ptr<ButtonClient> client);
  void setTitle(const std::string& title) override;
  void setImage(const std::shared_ptr<const Image>& image) override;
  void setEnabled(bool enabled) override;
  void setShowsTouchWhenHighlighted(bool shows) override;

 private:
  std::weak_ptr<ButtonClient> client_;
  std::string title_;
  bool hasImage_ = false;
  // Disconnected before the peer goes, so a click never finds it gone.
  ScopedSignal clicked_;
};

}  // namespace platform::gtk
