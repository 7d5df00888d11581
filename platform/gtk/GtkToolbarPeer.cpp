#include "platform/gtk/GtkToolbarPeer.h"

#include "platform/BarButtonItem.h"

namespace platform::gtk {

GtkToolbarPeer::GtkToolbarPeer()
    : GtkPeer(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0)), tint_(addStyleProvider(widget())) {
  // Inset by padding, not margins: a margin would widen the bar beyond its
  // frame, and the window with it.
  setTintColor(Color::clear());
}

// The items' widgets belong to their items' peers, which may outlive us.
GtkToolbarPeer::~GtkToolbarPeer() { removeItems(); }

void GtkToolbarPeer::removeItems() {
  while (GtkWidget* child = gtk_widget_get_first_child(widget())) gtk_box_remove(GTK_BOX(widget()), child);
}

void GtkToolbarPeer::setItems(const std::vector<BarButtonItem*>& items) {
  removeItems();
  for (BarButtonItem* item : items) {
    GtkWidget* child = nullptr;
    if (item->isFlexibleSpace()) {
      child = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
      gtk_widget_set_hexpand(child, TRUE);
    } else if (BarButtonItemPeer* peer = item->peer()) {
      child = GTK_WIDGET(peer->toolkitHandle());
      detachFromParent(child);
    }
    if (child) gtk_box_append(GTK_BOX(widget()), child);
  }
}

void GtkToolbarPeer::setTintColor(const Color& color) {
  // The tint colours the bar; its items stay light on it.
  const std::string css = color.alpha > 0
                              ? "* { padding: 0 6px; background-color: " + color.cssText() + "; color: #ffffff; }"
                              : std::string("* { padding: 0 6px; }");
  gtk_css_provider_load_from_data(tint_.get(), css.c_str(), -1);
}

}  // namespace platform::gtk
