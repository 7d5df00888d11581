#include "platform/gtk/GtkViewPeer.h"

namespace platform::gtk {

void detachFromParent(GtkWidget* widget) {
  GtkWidget* parent = gtk_widget_get_parent(widget);
  if (!parent) return;
  if (GTK_IS_FIXED(parent))
    gtk_fixed_remove(GTK_FIXED(parent), widget);
  else if (GTK_IS_STACK(parent))
    gtk_stack_remove(GTK_STACK(parent), widget);
  else if (GTK_IS_BOX(parent))
    gtk_box_remove(GTK_BOX(parent), widget);
  else if (GTK_IS_OVERLAY(parent) && gtk_overlay_get_child(GTK_OVERLAY(parent)) != widget)
    gtk_overlay_remove_overlay(GTK_OVERLAY(parent), widget);
  else if (GTK_IS_OVERLAY(parent))
    gtk_overlay_set_child(GTK_OVERLAY(parent), nullptr);
  else if (GTK_IS_WINDOW(parent))
    gtk_window_set_child(GTK_WINDOW(parent), nullptr);
  else
    gtk_widget_unparent(widget);
}

GtkWidget* newPlainFixed() {
  return GTK_WIDGET(g_object_new(GTK_TYPE_FIXED, "accessible-role", GTK_ACCESSIBLE_ROLE_GENERIC, nullptr));
}

namespace {
GtkWidget* clippingFixed() {
  GtkWidget* fixed = newPlainFixed();
  gtk_widget_set_overflow(fixed, GTK_OVERFLOW_HIDDEN);
  return fixed;
}
}  // namespace

GtkViewPeer::GtkViewPeer() : GtkPeer(clippingFixed()) {}

}  // namespace platform::gtk
