// A view's peer: a GtkFixed (or, for buttons, a GtkButton) placed in its
// parent's GtkFixed at the view's frame.
#pragma once

#include <gtk/gtk.h>

#include "platform/Button.h"
#include "platform/gtk/GObjectPtr.h"

namespace platform::gtk {

class GtkViewPeer : public ButtonPeer {
 public:
  // Takes a reference to `widget`. A container peer is a GtkFixed.
  explicit GtkViewPeer(GtkWidget* widget);
  ~GtkViewPeer() override;

  GtkWidget* widget() const { return widget_.get(); }

  void setFrame(const Rect& frame) override;
  void setHidden(bool hidden) override;
  void setBackgroundColor(const Color& color) override;
  void addChild(ViewPeer& child, const Rect& frame) override;
  void removeChild(ViewPeer& child) override;
  void setTitle(const std::string& title) override;

  // Calls `button`'s press() on each click, until this peer goes.
  void connectPress(Button& button);

 private:
  GObjectPtr<GtkWidget> widget_;
  GObjectPtr<GtkCssProvider> css_;
  ScopedSignal clicked_;
};

// Takes `widget` out of whatever container holds it.
void detachFromParent(GtkWidget* widget);

}  // namespace platform::gtk
