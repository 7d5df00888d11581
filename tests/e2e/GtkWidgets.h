// Finding the GTK widgets behind views and screens, for window tests.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "platform/View.h"
#include "platform/Window.h"
#include "platform/gtk/GtkWindowPeer.h"

namespace gtk_widgets {

inline GtkWidget* widgetOf(const platform::View& view) {
  auto* handle = view.peer() ? static_cast<GObject*>(view.peer()->toolkitHandle()) : nullptr;
  return handle && GTK_IS_WIDGET(handle) ? GTK_WIDGET(handle) : nullptr;
}

// The first button under `root` with that label.
inline GtkWidget* findButton(GtkWidget* root, const char* label) {
  if (GTK_IS_BUTTON(root)) {
    const char* text = gtk_button_get_label(GTK_BUTTON(root));
    if (text && std::string(text) == label) return root;
  }
  for (GtkWidget* child = gtk_widget_get_first_child(root); child; child = gtk_widget_get_next_sibling(child)) {
    if (GtkWidget* found = findButton(child, label)) return found;
  }
  return nullptr;
}

// The stack in which the window shows its screens.
inline GtkStack* screensOf(platform::Window& window) {
  auto* peer = dynamic_cast<platform::gtk::GtkWindowPeer*>(window.peer());
  GtkWidget* content = gtk_window_get_child(peer->window());
  for (GtkWidget* child = gtk_widget_get_first_child(content); child; child = gtk_widget_get_next_sibling(child))
    if (GTK_IS_STACK(child)) return GTK_STACK(child);
  return nullptr;
}

inline int childCount(GtkWidget* widget) {
  int count = 0;
  for (GtkWidget* c = gtk_widget_get_first_child(widget); c; c = gtk_widget_get_next_sibling(c)) ++count;
  return count;
}

}  // namespace gtk_widgets
