// The application's window: shows its root view controller's view and, on
// top, the views of modally presented screens. Main thread only.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <memory>

#include "platform/View.h"

namespace platform {

class ViewController;

// The toolkit's side of a window.
class WindowPeer {
 public:
  virtual ~WindowPeer() = default;
  virtual void setRootView(ViewPeer* view) = 0;
  virtual void makeKeyAndVisible() = 0;
  // Shows `view` over the current one; `done` runs when the transition ends.
  virtual void pushModal(ViewPeer* view, Animated animated, std::function<void()> done) = 0;
  virtual void popModal(ViewPeer* view, Animated animated, std::function<void()> done) = 0;
  virtual void setStatusBarHidden(bool hidden) = 0;
  virtual bool saveScreenshot(const std::filesystem::path& png) = 0;
  // The part of the window, in its points, that lies on a monitor; nullopt
  // when the toolkit cannot tell (the whole window is taken as shown).
  virtual std::optional<Rect> areaOnMonitor() const { return std::nullopt; }
  // Escape in the window, before the widget with the focus sees it: the
  // action answers whether it took the key.
  virtual void setEscapeAction(std::function<bool()> /*action*/) {}
};

class Window {
 public:
  // A window with the toolkit's peer, or none (headless).
  explicit Window(std::unique_ptr<WindowPeer> peer = nullptr);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  ViewController* rootViewController() const { return rootViewController_.get(); }
  // Owns `controller`, loads its view and shows it.
  void setRootViewController(std::shared_ptr<ViewController> controller);
  void makeKeyAndVisible();
  bool isVisible() const { return visible_; }

  // Gives every screen shown in it (the root's and those presented over
  // it) the application frame: called when a screen is presented and when
  // the status bar comes or goes.
  void layoutScreens();

  // For ViewController's modal presentation.
  void pushModalView(const std::shared_ptr<View>& view, Animated animated, std::function<void()> done);
  void popModalView(const std::shared_ptr<View>& view, Animated animated, std::function<void()> done);

  WindowPeer* peer() const { return peer_.get(); }
  // See WindowPeer::areaOnMonitor.
  std::optional<Rect> areaOnMonitor() const { return peer_ ? peer_->areaOnMonitor() : std::nullopt; }
  // Escape: the top screen (the last presented) closes if it can.
  bool escapePressed();

 private:
  std::unique_ptr<WindowPeer> peer_;
  std::shared_ptr<ViewController> rootViewController_;
  bool visible_ = false;
};

}  // namespace platform
