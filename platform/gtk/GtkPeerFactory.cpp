#include "platform/gtk/GtkPeerFactory.h"

#include "platform/gtk/GtkButtonPeer.h"
#include "platform/gtk/GtkCookieBridge.h"
#include "platform/gtk/GtkViewPeer.h"
#include "platform/gtk/GtkWebViewPeer.h"

namespace platform::gtk {

std::unique_ptr<ViewPeer> GtkPeerFactory::createViewPeer(std::weak_ptr<View>) {
  return std::make_unique<GtkViewPeer>();
}

GtkPeerFactory::GtkPeerFactory() = default;
GtkPeerFactory::~GtkPeerFactory() = default;

std::unique_ptr<WebViewPeer> GtkPeerFactory::createWebViewPeer(std::weak_ptr<WebViewClient> client) {
  if (!cookies_) cookies_ = std::make_unique<GtkCookieBridge>();
  return std::make_unique<GtkWebViewPeer>(std::move(client));
}

std::unique_ptr<ButtonPeer> GtkPeerFactory::createButtonPeer(std::weak_ptr<ButtonClient> client) {
  return std::make_unique<GtkButtonPeer>(std::move(client));
}

}  // namespace platform::gtk
