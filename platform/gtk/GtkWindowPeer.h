// The window of the main interface file: a status bar strip over a GtkStack
// whose pages are the root view and the modally presented views.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "platform/Window.h"
#include "platform/gtk/GObjectPtr.h"

namespace platform::gtk {

class GtkWindowPeer : public WindowPeer {
 public:
  static constexpr double kTransitionSeconds = 0.3;

  // Loads `nibPath`, which must hold a GtkWindow "window", a widget
  // "statusBar" and a GtkStack "screens". Null when it does not.
  static std::unique_ptr<GtkWindowPeer> load(const std::string& nibPath);
  ~GtkWindowPeer() override;

  GtkWindow* window() const { return GTK_WINDOW(window_.get()); }

  void setRootView(ViewPeer* view) override;
  void makeKeyAndVisible() override;
  void pushModal(ViewPeer* view, Animated animated, std::function<void()> done) override;
  void popModal(ViewPeer* view, Animated animated, std::function<void()> done) override;
  void setStatusBarHidden(bool hidden) override;
  bool saveScreenshot(const std::filesystem::path& png) override;
  // On X11, from the window's place on the root window and the monitor it
  // overlaps most; elsewhere nullopt.
  std::optional<Rect> areaOnMonitor() const override;
  void setEscapeAction(std::function<bool()> action) override;

 private:
  GtkWindowPeer() = default;
  void afterTransition(Animated animated, std::function<void()> done);

  GObjectPtr<GtkWidget> window_;
  GtkWidget* statusBar_ = nullptr;  // owned by the window
  GtkStack* screens_ = nullptr;     // owned by the window
  // Bottom first. Held so that a page whose view went stays a valid pointer.
  std::vector<GObjectPtr<GtkWidget>> pages_;
  // Pending transition ends hold only this token, never the peer itself,
  // and are cancelled by it when the peer goes.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::function<bool()> escapeAction_;
  GtkEventController* escapeKeys_ = nullptr;  // owned by the window
};

}  // namespace platform::gtk
