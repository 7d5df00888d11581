// The GTK 4 toolkit's widget peers.
#pragma once

#include "platform/PeerFactory.h"

namespace platform::gtk {

class GtkPeerFactory final : public PeerFactory {
 public:
  std::unique_ptr<ViewPeer> createViewPeer(std::weak_ptr<View> view) override;
  std::unique_ptr<ButtonPeer> createButtonPeer(std::weak_ptr<ButtonClient> client) override;
  std::unique_ptr<WebViewPeer> createWebViewPeer(std::weak_ptr<WebViewClient> client) override;
};

}  // namespace platform::gtk
