// A toolbar's peer: a horizontal GtkBox holding its items' widgets in order,
// with a fresh expanding spacer wherever flexible space stands.
#pragma once

#include <vector>

#include "platform/Toolbar.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkToolbarPeer final : public GtkPeer<ToolbarPeer> {
 public:
  GtkToolbarPeer();
  ~GtkToolbarPeer() override;
  void setItems(const std::vector<BarButtonItem*>& items) override;
  void setTintColor(const Color& color) override;

 private:
  void removeItems();

  GObjectPtr<GtkCssProvider> tint_;
  // An item that had the focus when it left the bar, and the widget the bar
  // gave the focus to instead: see setItems.
  GObjectPtr<GtkWidget> displacedFocus_;
  GObjectPtr<GtkWidget> focusStandIn_;
};

}  // namespace platform::gtk
