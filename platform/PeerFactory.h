// Makes the toolkit's peers, one typed peer interface per kind of widget.
// A view is made first and gets its peer after, so the peer can hold a weak
// reference back to the view (or to the view's client interface, for
// kinds the toolkit calls back): a callback that arrives after the view has
// gone finds the reference empty and does nothing.
#pragma once

#include <memory>

namespace platform {

class ButtonClient;
class ButtonPeer;
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
  virtual std::unique_ptr<WebViewPeer> createWebViewPeer(std::weak_ptr<WebViewClient> client) = 0;
};

}  // namespace platform
