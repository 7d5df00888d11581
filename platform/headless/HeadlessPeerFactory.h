// The headless toolkit's recording peers.
#pragma once

#include "platform/PeerFactory.h"

namespace platform {

class HeadlessPeerFactory final : public PeerFactory {
 public:
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
};

}  // namespace platform
