#include "platform/gtk/GtkViewPeer.h"

#include <cstdio>

namespace platform::gtk {

void detachFromParent(GtkWidget* widget) {
  GtkWidget* parent = gtk_widget_get_parent(widget);
  if (!parent) return;
  if (GTK_IS_FIXED(parent))
    gtk_fixed_remove(GTK_FIXED(parent), widget);
  else if (GTK_IS_STACK(parent))
    gtk_stack_remove(GTK_STACK(parent), widget);
  else
    gtk_widget_unparent(widget);
}

GtkViewPeer::GtkViewPeer(GtkWidget* widget) : widget_(GObjectPtr<GtkWidget>::adopt(widget)) {}

GtkViewPeer::~GtkViewPeer() {
  clicked_.disconnect();
  detachFromParent(widget_.get());
}

void GtkViewPeer::setFrame(const Rect& frame) {
  gtk_widget_set_size_request(widget_.get(), static_cast<int>(frame.width()), static_cast<int>(frame.height()));
  GtkWidget* parent = gtk_widget_get_parent(widget_.get());
  if (parent && GTK_IS_FIXED(parent)) gtk_fixed_move(GTK_FIXED(parent), widget_.get(), frame.x(), frame.y());
}

void GtkViewPeer::setHidden(bool hidden) { gtk_widget_set_visible(widget_.get(), !hidden); }

void GtkViewPeer::setBackgroundColor(const Color& color) {
  if (!css_) {
    css_ = GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new());
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget_.get()), GTK_STYLE_PROVIDER(css_.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }
  const std::string css = "* { background-color: " + color.cssText() + "; }";
  gtk_css_provider_load_from_data(css_.get(), css.c_str(), -1);
}

void GtkViewPeer::addChild(ViewPeer& child, const Rect& frame) {
  auto* peer = dynamic_cast<GtkViewPeer*>(&child);
  if (!peer || !GTK_IS_FIXED(widget_.get())) return;
  detachFromParent(peer->widget());
  gtk_fixed_put(GTK_FIXED(widget_.get()), peer->widget(), frame.x(), frame.y());
}

void GtkViewPeer::removeChild(ViewPeer& child) {
  auto* peer = dynamic_cast<GtkViewPeer*>(&child);
  if (!peer || gtk_widget_get_parent(peer->widget()) != widget_.get()) return;
  detachFromParent(peer->widget());
}

void GtkViewPeer::setTitle(const std::string& title) {
  if (GTK_IS_BUTTON(widget_.get())) gtk_button_set_label(GTK_BUTTON(widget_.get()), title.c_str());
}

void GtkViewPeer::connectPress(Button& button) {
  // The handler is disconnected before this peer (and so its button) goes.
  clicked_ = ScopedSignal(widget_.get(), g_signal_connect(widget_.get(), "clicked",
                                                          G_CALLBACK(+[](GtkButton*, gpointer data) {
                                                            static_cast<Button*>(data)->press();
                                                          }),
                                                          &button));
}

}  // namespace platform::gtk
