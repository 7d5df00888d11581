#include "platform/headless/HeadlessPeerFactory.h"

#include "platform/headless/HeadlessButtonPeer.h"
#include "platform/headless/HeadlessPeer.h"
#include "platform/headless/HeadlessWebViewPeer.h"

namespace platform {

std::unique_ptr<ViewPeer> HeadlessPeerFactory::createViewPeer(std::weak_ptr<View>) {
  return std::make_unique<HeadlessPeer<ViewPeer>>();
}

std::unique_ptr<WebViewPeer> HeadlessPeerFactory::createWebViewPeer(std::weak_ptr<WebViewClient> client) {
  return std::make_unique<HeadlessWebViewPeer>(std::move(client));
}

std::unique_ptr<ButtonPeer> HeadlessPeerFactory::createButtonPeer(std::weak_ptr<ButtonClient> client) {
  return std::make_unique<HeadlessButtonPeer>(std::move(client));
}

}  // namespace platform
