#include "platform/headless/HeadlessPeerFactory.h"

#include "platform/headless/HeadlessButtonPeer.h"
#include "platform/headless/HeadlessActivityIndicatorPeer.h"
#include "platform/headless/HeadlessBarButtonItemPeer.h"
#include "platform/headless/HeadlessLabelPeer.h"
#include "platform/headless/HeadlessMailComposerPeer.h"
#include "platform/headless/HeadlessSwitchPeer.h"
#include "platform/headless/HeadlessToolbarPeer.h"
#include "platform/headless/HeadlessPeer.h"
#include "platform/headless/HeadlessWebViewPeer.h"

namespace platform {

std::unique_ptr<ViewPeer> HeadlessPeerFactory::createViewPeer(std::weak_ptr<View>) {
  return std::make_unique<HeadlessPeer<ViewPeer>>();
}

std::unique_ptr<WebViewPeer> HeadlessPeerFactory::createWebViewPeer(std::weak_ptr<WebViewClient> client, WebProcessGroup) {
  return std::make_unique<HeadlessWebViewPeer>(std::move(client));
}

std::unique_ptr<ButtonPeer> HeadlessPeerFactory::createButtonPeer(std::weak_ptr<ButtonClient> client) {
  return std::make_unique<HeadlessButtonPeer>(std::move(client));
}

std::unique_ptr<LabelPeer> HeadlessPeerFactory::createLabelPeer() { return std::make_unique<HeadlessLabelPeer>(); }

std::unique_ptr<SwitchPeer> HeadlessPeerFactory::createSwitchPeer(std::weak_ptr<SwitchClient> client) {
  return std::make_unique<HeadlessSwitchPeer>(std::move(client));
}

std::unique_ptr<ActivityIndicatorPeer> HeadlessPeerFactory::createActivityIndicatorPeer() {
  return std::make_unique<HeadlessActivityIndicatorPeer>();
}

std::unique_ptr<ToolbarPeer> HeadlessPeerFactory::createToolbarPeer() { return std::make_unique<HeadlessToolbarPeer>(); }

std::unique_ptr<BarButtonItemPeer> HeadlessPeerFactory::createBarButtonItemPeer(
    const BarButtonItem&, std::weak_ptr<BarButtonItemClient> client) {
  return std::make_unique<HeadlessBarButtonItemPeer>(std::move(client));
}

std::unique_ptr<MailComposerPeer> HeadlessPeerFactory::createMailComposerPeer(
    std::weak_ptr<MailComposerClient> client) {
  return std::make_unique<HeadlessMailComposerPeer>(std::move(client));
}

}  // namespace platform
