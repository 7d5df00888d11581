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
  std::unique_ptr<LabelPeer> createLabelPeer() override;
  std::unique_ptr<SwitchPeer> createSwitchPeer(std::weak_ptr<SwitchClient> client) override;
  std::unique_ptr<WebViewPeer> createWebViewPeer(std::weak_ptr<WebViewClient> client, WebProcessGroup group) override;
  std::unique_ptr<ActivityIndicatorPeer> createActivityIndicatorPeer() override;
  std::unique_ptr<ToolbarPeer> createToolbarPeer() override;
  std::unique_ptr<BarButtonItemPeer> createBarButtonItemPeer(const BarButtonItem& item,
                                                             std::weak_ptr<BarButtonItemClient> client) override;
  std::unique_ptr<MailComposerPeer> createMailComposerPeer(std::weak_ptr<MailComposerClient> client) override;

 private:
  // Made with the first web view: web views and fetches share cookies.
  std::unique_ptr<GtkCookieBridge> cookies_;
};

}  // namespace platform::gtk
