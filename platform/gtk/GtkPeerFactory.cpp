#include "platform/gtk/GtkPeerFactory.h"

#include "platform/gtk/GtkActivityIndicatorPeer.h"
#include "platform/gtk/GtkBarButtonItemPeer.h"
#include "platform/gtk/GtkButtonPeer.h"
#include "platform/gtk/GtkCookieBridge.h"
#include "platform/gtk/GtkLabelPeer.h"
#include "platform/gtk/GtkMailComposerPeer.h"
#include "platform/gtk/GtkSwitchPeer.h"
#include "platform/gtk/GtkToolbarPeer.h"
#include "platform/gtk/GtkViewPeer.h"
#include "platform/gtk/GtkWebViewPeer.h"

namespace platform::gtk {

std::unique_ptr<ViewPeer> GtkPeerFactory::createViewPeer(std::weak_ptr<View>) {
  return std::make_unique<GtkViewPeer>();
}

GtkPeerFactory::GtkPeerFactory() = default;
GtkPeerFactory::~GtkPeerFactory() = default;

std::unique_ptr<WebViewPeer> GtkPeerFactory::createWebViewPeer(std::weak_ptr<WebViewClient> client, WebProcessGroup group) {
  if (!cookies_) cookies_ = std::make_unique<GtkCookieBridge>();
  return std::make_unique<GtkWebViewPeer>(std::move(client), group);
}

std::unique_ptr<ButtonPeer> GtkPeerFactory::createButtonPeer(std::weak_ptr<ButtonClient> client) {
  return std::make_unique<GtkButtonPeer>(std::move(client));
}

std::unique_ptr<LabelPeer> GtkPeerFactory::createLabelPeer() { return std::make_unique<GtkLabelPeer>(); }

std::unique_ptr<SwitchPeer> GtkPeerFactory::createSwitchPeer(std::weak_ptr<SwitchClient> client) {
  return std::make_unique<GtkSwitchPeer>(std::move(client));
}

std::unique_ptr<ActivityIndicatorPeer> GtkPeerFactory::createActivityIndicatorPeer() {
  return std::make_unique<GtkActivityIndicatorPeer>();
}

std::unique_ptr<ToolbarPeer> GtkPeerFactory::createToolbarPeer() { return std::make_unique<GtkToolbarPeer>(); }

std::unique_ptr<BarButtonItemPeer> GtkPeerFactory::createBarButtonItemPeer(const BarButtonItem& item,
                                                                           std::weak_ptr<BarButtonItemClient> client) {
  return std::make_unique<GtkBarButtonItemPeer>(item, std::move(client));
}

std::unique_ptr<MailComposerPeer> GtkPeerFactory::createMailComposerPeer(std::weak_ptr<MailComposerClient> client) {
  return std::make_unique<GtkMailComposerPeer>(std::move(client));
}

}  // namespace platform::gtk
