// The GTK 4 toolkit's widget peers.
#pragma once

#include <memory>

#include "platform/PeerFactory.h"

namespace platform::gtk {

class GtkCookieBridge;

class GtkPeerFactory final : public PeerFactory {
 public:
  GtkPeerFactory();
  ~GtkPeerFactory() override;
  std::unique_ptr<ViewPeer> createViewPeer(std::weak_ptr<View> view) override;
  std::unique_ptr<ButtonPeer> createButtonPeer(std::weak_ptr<ButtonClient> client) override;
  std::unique_ptr<WebViewPeer> createWebViewPeer(std::weak_ptr<WebViewClient> client) override;

 private:
  // Made with the first web view: web views and fetches share cookies.
  std::unique_ptr<GtkCookieBridge> cookies_;
};

}  // namespace platform::gtk
