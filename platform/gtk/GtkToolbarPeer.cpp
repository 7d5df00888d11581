#include "platform/gtk/GtkToolbarPeer.h"

#include <algorithm>
#include <set>
#include <vector>

#include "platform/BarButtonItem.h"

namespace platform::gtk {

GtkToolbarPeer::GtkToolbarPeer()
    : GtkPeer(GTK_WIDGET(g_object_new(GTK_TYPE_BOX, "accessible-role", GTK_ACCESSIBLE_ROLE_TOOLBAR, nullptr))),
      tint_(addStyleProvider(widget())) {
  // Inset by padding, not margins: a margin would widen the bar beyond its
  // frame, and the window with it.
  setTintColor(Color::clear());
}

// The items' widgets belong to their items' peers, which may outlive us.
GtkToolbarPeer::~GtkToolbarPeer() { removeItems(); }

void GtkToolbarPeer::removeItems() {
  while (GtkWidget* child = gtk_widget_get_first_child(widget())) gtk_box_remove(GTK_BOX(widget()), child);
}

namespace {

constexpr const char* kFlexibleSpaceKey = "blorvik-flexible-space";

bool isFlexibleSpaceWidget(GtkWidget* widget) {
  return widget && g_object_get_data(G_OBJECT(widget), kFlexibleSpaceKey) != nullptr;
}

}  // namespace

// The widgets of items that stay are left in place (moved at most), so
// the keyboard's focus on one of them survives a change of the others.
void GtkToolbarPeer::setItems(const std::vector<BarButtonItem*>& items) {
  GtkBox* box = GTK_BOX(widget());
  std::set<GtkWidget*> wanted;
  for (BarButtonItem* item : items)
    if (BarButtonItemPeer* peer = item->isFlexibleSpace() ? nullptr : item->peer())
      wanted.insert(GTK_WIDGET(peer->toolkitHandle()));
  // The item with the focus may be leaving (Reload, pressed, gives way to
  // the spinner): where it stood, the focus goes on along the bar.
  GtkRoot* root = gtk_widget_get_root(widget());
  GtkWidget* focus = root ? gtk_root_get_focus(root) : nullptr;
  int leavingAt = -1;
  int index = 0;
  for (GtkWidget* child = gtk_widget_get_first_child(widget()); child; ++index) {
    GtkWidget* following = gtk_widget_get_next_sibling(child);
    if (!isFlexibleSpaceWidget(child) && !wanted.contains(child)) {
      if (focus && (focus == child || gtk_widget_is_ancestor(focus, child))) {
        leavingAt = index;
        displacedFocus_ = GObjectPtr<GtkWidget>::retain(child);
      }
      gtk_box_remove(box, child);
    }
    child = following;
  }
  GtkWidget* previous = nullptr;
  auto next = [&] { return previous ? gtk_widget_get_next_sibling(previous) : gtk_widget_get_first_child(widget()); };
  for (BarButtonItem* item : items) {
    GtkWidget* here = next();
    if (item->isFlexibleSpace()) {
      GtkWidget* space = here;
      while (space && !isFlexibleSpaceWidget(space)) space = gtk_widget_get_next_sibling(space);
      if (space) {
        if (space != here) gtk_box_reorder_child_after(box, space, previous);
        previous = space;
        continue;
      }
      space = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
      g_object_set_data(G_OBJECT(space), kFlexibleSpaceKey, GINT_TO_POINTER(1));
      gtk_widget_set_hexpand(space, TRUE);
      gtk_box_insert_child_after(box, space, previous);
      previous = space;
      continue;
    }
    BarButtonItemPeer* peer = item->peer();
    if (!peer) continue;
    GtkWidget* child = GTK_WIDGET(peer->toolkitHandle());
    if (child == here) {
      previous = child;
      continue;
    }
    if (gtk_widget_get_parent(child) == widget()) {
      gtk_box_reorder_child_after(box, child, previous);
    } else {
      detachFromParent(child);
      gtk_box_insert_child_after(box, child, previous);
    }
    previous = child;
  }
  // What is left after the last item is no item's any more.
  while (GtkWidget* extra = next()) gtk_box_remove(box, extra);
  if (leavingAt >= 0) {
    std::vector<GtkWidget*> children;
    for (GtkWidget* child = gtk_widget_get_first_child(widget()); child; child = gtk_widget_get_next_sibling(child))
      children.push_back(child);
    const int count = static_cast<int>(children.size());
    GtkWidget* taken = nullptr;
    for (int i = leavingAt; !taken && i < count; ++i)
      if (gtk_widget_grab_focus(children[i])) taken = children[i];
    for (int i = std::min(leavingAt, count) - 1; !taken && i >= 0; --i)
      if (gtk_widget_grab_focus(children[i])) taken = children[i];
    focusStandIn_ = taken ? GObjectPtr<GtkWidget>::retain(gtk_root_get_focus(root)) : GObjectPtr<GtkWidget>();
    return;
  }
  if (!displacedFocus_) return;
  // The item that gave the focus away is back: the focus goes back to it,
  // unless the user has moved it on from where the bar put it.
  const bool stillOnStandIn = focus && focus == focusStandIn_.get();
  const bool back = gtk_widget_get_parent(displacedFocus_.get()) == widget();
  if (back && stillOnStandIn) gtk_widget_grab_focus(displacedFocus_.get());
  if (back || !stillOnStandIn) {
    displacedFocus_ = {};
    focusStandIn_ = {};
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
