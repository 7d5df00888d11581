// Makes the toolkit's peers, one typed peer interface per kind of widget.
// A view is made first and gets its peer after, so the peer can hold a weak
// reference back to the view (or to the view's client interface, for
// kinds the toolkit calls back): a callback that arrives after the view has
// gone finds the reference empty and does nothing.
#pragma once

#include <memory>

namespace platform {

class ActivityIndicatorPeer;
class BarButtonItem;
class BarButtonItemClient;
class BarButtonItemPeer;
class ButtonClient;
class ButtonPeer;
class LabelPeer;
class MailComposerClient;
class MailComposerPeer;
class SwitchClient;
class SwitchPeer;
class ToolbarPeer;
enum class WebProcessGroup;
class View;
class ViewPeer;
class WebViewClient;
class WebViewPeer;

class PeerFactory {
 public:
  virtual ~PeerFactory() = default;
  // A plain view: a container that places its children at their frames.
  virtual std::unique_ptr<ViewPeer> createViewPeer(std::weak_ptr<View> view) = 0;
  virtual std::unique_ptr<ButtonPeer> createButtonPeer(std::weak_ptr<ButtonClient> client) = 0;
  virtual std::unique_ptr<LabelPeer> createLabelPeer() = 0;
  virtual std::unique_ptr<SwitchPeer> createSwitchPeer(std::weak_ptr<SwitchClient> client) = 0;
  virtual std::unique_ptr<WebViewPeer> createWebViewPeer(std::weak_ptr<WebViewClient> client, WebProcessGroup group) = 0;
  virtual std::unique_ptr<ActivityIndicatorPeer> createActivityIndicatorPeer() = 0;
  virtual std::unique_ptr<ToolbarPeer> createToolbarPeer() = 0;
  // The item's kind, image and custom view are fixed at creation; its peer
  // shows them.
  virtual std::unique_ptr<BarButtonItemPeer> createBarButtonItemPeer(const BarButtonItem& item,
                                                                     std::weak_ptr<BarButtonItemClient> client) = 0;
  // The whole form of a mail composer's screen.
  virtual std::unique_ptr<MailComposerPeer> createMailComposerPeer(std::weak_ptr<MailComposerClient> client) = 0;
};

}  // namespace platform
