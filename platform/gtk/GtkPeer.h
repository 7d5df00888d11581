// What every GTK peer does with its widget, whatever its kind: placed in its
// parent's GtkFixed at the view's frame, shown or hidden, coloured, and a
// GtkFixed of its own for children. Kinds add their interface on top.
#pragma once

#include <gtk/gtk.h>

#include <cmath>

#include <string>

#include "platform/View.h"
#include "platform/gtk/GObjectPtr.h"

namespace platform::gtk {

// Takes `widget` out of whatever container holds it.
void detachFromParent(GtkWidget* widget);

// A new GtkFixed that assistive technologies see as a plain group of its
// children (by default GTK names it by its class).
GtkWidget* newPlainFixed();

// The widget a peer of this toolkit hands out; null for none (GObject
// checks the type).
inline GtkWidget* widgetOfPeer(ViewPeer* peer) {
  auto* handle = peer ? static_cast<GObject*>(peer->toolkitHandle()) : nullptr;
  return handle && GTK_IS_WIDGET(handle) ? GTK_WIDGET(handle) : nullptr;
}

// A style provider of the widget's own, above the theme: load rules into it
// to restyle just this widget.
inline GObjectPtr<GtkCssProvider> addStyleProvider(GtkWidget* widget) {
  auto provider = GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new());
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  return provider;
}

template <class PeerInterface>
class GtkPeer : public PeerInterface {
 public:
  // Takes the new (floating) reference to `widget`.
  explicit GtkPeer(GtkWidget* widget) : widget_(GObjectPtr<GtkWidget>::adopt(widget)) {}
  ~GtkPeer() override { detachFromParent(widget_.get()); }
  GtkPeer(const GtkPeer&) = delete;
  GtkPeer& operator=(const GtkPeer&) = delete;

  GtkWidget* widget() const { return widget_.get(); }
  void* toolkitHandle() override { return widget_.get(); }

  // Edges are rounded to whole pixels, so views that meet in points meet
  // on screen too (no one-pixel gaps where a layout left fractions).
  void setFrame(const Rect& frame) override {
    const long left = std::lround(frame.x()), top = std::lround(frame.y());
    const long width = std::lround(frame.x() + frame.width()) - left;
    const long height = std::lround(frame.y() + frame.height()) - top;
    gtk_widget_set_size_request(widget_.get(), static_cast<int>(width), static_cast<int>(height));
    GtkWidget* parent = gtk_widget_get_parent(widget_.get());
    if (parent && GTK_IS_FIXED(parent))
      gtk_fixed_move(GTK_FIXED(parent), widget_.get(), static_cast<double>(left), static_cast<double>(top));
  }
  void setHidden(bool hidden) override { gtk_widget_set_visible(widget_.get(), !hidden); }
  // Not targeted, the widget and its children receive no pointer events.
  void setUserInteractionEnabled(bool enabled) override { gtk_widget_set_can_target(widget_.get(), enabled); }
  void setBackgroundColor(const Color& color) override {
    if (!css_) css_ = addStyleProvider(widget_.get());
    const std::string css = "* { background-color: " + color.cssText() + "; }";
    gtk_css_provider_load_from_data(css_.get(), css.c_str(), -1);
  }
  void setAccessibleName(const std::string& name) override {
    if (name.empty())
      gtk_accessible_reset_property(GTK_ACCESSIBLE(widget_.get()), GTK_ACCESSIBLE_PROPERTY_LABEL);
    else
      gtk_accessible_update_property(GTK_ACCESSIBLE(widget_.get()), GTK_ACCESSIBLE_PROPERTY_LABEL, name.c_str(), -1);
  }
  // GTK takes a role only until assistive technologies first ask for the
  // widget: views set theirs before they are shown.
  void setAccessibleRole(AccessibleRole role) override {
    if (role == AccessibleRole::Default) return;
    g_object_set(widget_.get(), "accessible-role",
                 role == AccessibleRole::Region ? GTK_ACCESSIBLE_ROLE_REGION : GTK_ACCESSIBLE_ROLE_GROUP, nullptr);
  }
  void addChild(ViewPeer& child, const Rect& frame) override {
    GtkWidget* widget = childWidget(child);
    if (!widget || !GTK_IS_FIXED(widget_.get())) return;
    detachFromParent(widget);
    gtk_fixed_put(GTK_FIXED(widget_.get()), widget, frame.x(), frame.y());
  }
  void removeChild(ViewPeer& child) override {
    GtkWidget* widget = childWidget(child);
    if (widget && gtk_widget_get_parent(widget) == widget_.get()) detachFromParent(widget);
  }

 protected:
  static GtkWidget* childWidget(ViewPeer& child) { return widgetOfPeer(&child); }

 private:

  GObjectPtr<GtkWidget> widget_;
  GObjectPtr<GtkCssProvider> css_;
};

}  // namespace platform::gtk
