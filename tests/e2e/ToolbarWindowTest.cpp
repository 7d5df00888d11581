// A toolbar in a real GTK window: changing its items keeps the widgets of
// the items that stay, so the keyboard's focus stays where the user left
// it (on Done while the page under it reloads).
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/ActivityIndicator.h"
#include "platform/BarButtonItem.h"
#include "platform/RunLoop.h"
#include "platform/Toolbar.h"

namespace {

using platform::BarButtonItem;

GtkWidget* widgetOf(BarButtonItem& item) { return static_cast<GtkWidget*>(item.peer()->toolkitHandle()); }

std::vector<GtkWidget*> children(GtkWidget* box) {
  std::vector<GtkWidget*> widgets;
  for (GtkWidget* child = gtk_widget_get_first_child(box); child; child = gtk_widget_get_next_sibling(child))
    widgets.push_back(child);
  return widgets;
}

TEST(ToolbarWindowTest, ChangingTheItemsKeepsTheWidgetsThatStayAndTheFocusOnThem) {
  auto toolbar = platform::Toolbar::create(platform::Rect(0, 0, 320, 44));
  auto back = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemCancel);
  auto space = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemFlexibleSpace);
  auto reload = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemRefresh);
  auto stop = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemStop);
  auto done = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemDone);
  toolbar->setItems({back, space, reload, space, done});

  GtkWidget* bar = static_cast<GtkWidget*>(toolbar->peer()->toolkitHandle());
  // The page above the bar takes the focus that leaves the bar.
  GtkWidget* window = gtk_window_new();
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_append(GTK_BOX(column), gtk_button_new_with_label("page"));
  gtk_box_append(GTK_BOX(column), bar);
  gtk_window_set_child(GTK_WINDOW(window), column);
  gtk_window_present(GTK_WINDOW(window));
  platform::RunLoop::main().runFor(0.2);
  gtk_widget_grab_focus(widgetOf(*done));
  ASSERT_EQ(gtk_root_get_focus(GTK_ROOT(window)), widgetOf(*done));
  const std::vector<GtkWidget*> before = children(bar);
  for (GtkWidget* child : before) g_object_set_data(G_OBJECT(child), "there-before", GINT_TO_POINTER(1));

  // A reload starts, then ends: the middle item changes twice.
  toolbar->setItems({back, space, stop, space, done});
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(gtk_root_get_focus(GTK_ROOT(window)), widgetOf(*done)) << "focus stays on Done";
  toolbar->setItems({back, space, reload, space, done});
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(gtk_root_get_focus(GTK_ROOT(window)), widgetOf(*done));
  EXPECT_EQ(children(bar), before) << "the same widgets, in the items' order";
  for (GtkWidget* child : children(bar))
    EXPECT_TRUE(g_object_get_data(G_OBJECT(child), "there-before")) << "kept, not made anew";

  // Reload pressed: a spinner that takes no focus stands in its place while
  // the page loads. The focus stays in the bar, and goes back to Reload
  // when it returns.
  auto spinner = BarButtonItem::createWithCustomView(platform::ActivityIndicator::create(
      platform::ActivityIndicator::kStyleWhite));
  gtk_widget_grab_focus(widgetOf(*reload));
  toolbar->setItems({back, space, spinner, space, done});
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(gtk_root_get_focus(GTK_ROOT(window)), widgetOf(*done)) << "the next item that takes the focus";
  toolbar->setItems({back, space, reload, space, done});
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(gtk_root_get_focus(GTK_ROOT(window)), widgetOf(*reload)) << "back on Reload";
  // Moved on meanwhile, the focus stays where the user put it.
  toolbar->setItems({back, space, spinner, space, done});
  gtk_widget_grab_focus(widgetOf(*back));
  toolbar->setItems({back, space, reload, space, done});
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(gtk_root_get_focus(GTK_ROOT(window)), widgetOf(*back));

  // Items in another order are shown in that order, and none twice.
  toolbar->setItems({done, space, back});
  const auto now = children(bar);
  ASSERT_EQ(now.size(), 3u);
  EXPECT_EQ(now[0], widgetOf(*done));
  EXPECT_EQ(now[2], widgetOf(*back));
  EXPECT_EQ(gtk_widget_get_parent(widgetOf(*reload)), nullptr) << "an item gone from the bar leaves it";
  gtk_window_destroy(GTK_WINDOW(window));
}

}  // namespace
