#include "platform/gtk/GtkBarButtonItemPeer.h"

#include "platform/View.h"
#include "platform/gtk/GtkImages.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

namespace {
GtkWidget* newSystemButton(int systemItem) {
  switch (systemItem) {
    case BarButtonItem::kSystemItemDone: return gtk_button_new_with_label("Done");
    case BarButtonItem::kSystemItemCancel: return gtk_button_new_with_label("Cancel");
    case BarButtonItem::kSystemItemRefresh: return gtk_button_new_from_icon_name("view-refresh-symbolic");
    case BarButtonItem::kSystemItemAction: return gtk_button_new_from_icon_name("send-to-symbolic");
    case BarButtonItem::kSystemItemStop: return gtk_button_new_from_icon_name("process-stop-symbolic");
    default: return gtk_button_new();
  }
}
}  // namespace

GtkBarButtonItemPeer::GtkBarButtonItemPeer(const BarButtonItem& item, std::weak_ptr<BarButtonItemClient> client)
    : client_(std::move(client)) {
  if (const auto& view = item.customView()) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
    if (ViewPeer* peer = view->peer()) {
      GtkWidget* child = GTK_WIDGET(peer->toolkitHandle());
      detachFromParent(child);
      gtk_widget_set_size_request(child, static_cast<int>(view->frame().width()),
                                  static_cast<int>(view->frame().height()));
      gtk_box_append(GTK_BOX(box), child);
    }
    widget_ = GObjectPtr<GtkWidget>::adopt(box);
    return;
  }
  GtkWidget* button = newSystemButton(item.systemItem());
  if (item.image()) gtk_button_set_child(GTK_BUTTON(button), newPictureOfImage(*item.image()));
  gtk_widget_set_valign(button, GTK_ALIGN_CENTER);
  // Items take their colour from the bar, which its tint sets: the theme's
  // dark icon colour would vanish on a dark bar. A disabled item fades,
  // artwork included.
  gtk_css_provider_load_from_data(addStyleProvider(button).get(), "* { color: inherit; } *:disabled { opacity: 0.35; }", -1);
  widget_ = GObjectPtr<GtkWidget>::adopt(button);
  clicked_ = ScopedSignal(button, g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
                                                     auto* self = static_cast<GtkBarButtonItemPeer*>(data);
                                                     if (auto target = self->client_.lock()) target->peerWasPressed();
                                                   }),
                                                   this));
}

GtkBarButtonItemPeer::~GtkBarButtonItemPeer() {
  clicked_.disconnect();
  // A custom view's widget goes back to its own peer, which still holds it.
  if (GtkWidget* child = gtk_widget_get_first_child(widget_.get()); child && GTK_IS_BOX(widget_.get()))
    detachFromParent(child);
  detachFromParent(widget_.get());
}

void GtkBarButtonItemPeer::setEnabled(bool enabled) { gtk_widget_set_sensitive(widget_.get(), enabled); }

void GtkBarButtonItemPeer::setWidth(double width) {
  gtk_widget_set_size_request(widget_.get(), width > 0 ? static_cast<int>(width) : -1, -1);
}

void GtkBarButtonItemPeer::setStyle(int style) {
  if (!GTK_IS_BUTTON(widget_.get())) return;
  if (style == BarButtonItem::kStyleDone) {
    gtk_widget_remove_css_class(widget_.get(), "flat");
    gtk_widget_add_css_class(widget_.get(), "suggested-action");
  } else {
    gtk_widget_remove_css_class(widget_.get(), "suggested-action");
    gtk_widget_add_css_class(widget_.get(), "flat");
  }
}

void GtkBarButtonItemPeer::setAccessibilityLabel(const std::string& label) {
  if (label.empty()) {
    gtk_accessible_reset_property(GTK_ACCESSIBLE(widget_.get()), GTK_ACCESSIBLE_PROPERTY_LABEL);
    gtk_widget_set_tooltip_text(widget_.get(), nullptr);
    return;
  }
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget_.get()), GTK_ACCESSIBLE_PROPERTY_LABEL, label.c_str(), -1);
  gtk_widget_set_tooltip_text(widget_.get(), label.c_str());
}

}  // namespace platform::gtk
