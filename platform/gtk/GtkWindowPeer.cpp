#include "platform/gtk/GtkWindowPeer.h"

#include <algorithm>

#include "platform/RunLoop.h"
#include "platform/gtk/GtkPeer.h"
#include "platform/gtk/GtkViewPeer.h"
// Last: X11's headers define names (None, Window) that the others use.
#include <gdk/x11/gdkx.h>

namespace platform::gtk {

namespace {
// A screen's page in the stack is named by the screen's own view (GTK
// would name it by its class).
void addScreen(GtkStack* screens, GtkWidget* widget) {
  GtkStackPage* page = gtk_stack_add_child(screens, widget);
  gtk_accessible_update_relation(GTK_ACCESSIBLE(page), GTK_ACCESSIBLE_RELATION_LABELLED_BY, widget, nullptr, -1);
}
}  // namespace

std::unique_ptr<GtkWindowPeer> GtkWindowPeer::load(const std::string& nibPath) {
  GObjectPtr<GtkBuilder> builder = GObjectPtr<GtkBuilder>::adopt(gtk_builder_new());
  GError* error = nullptr;
  if (!gtk_builder_add_from_file(builder.get(), nibPath.c_str(), &error)) {
    g_printerr("platform: cannot load %s: %s\n", nibPath.c_str(), error->message);
    g_error_free(error);
    return nullptr;
  }
  GObject* window = gtk_builder_get_object(builder.get(), "window");
  GObject* statusBar = gtk_builder_get_object(builder.get(), "statusBar");
  GObject* screens = gtk_builder_get_object(builder.get(), "screens");
  if (!GTK_IS_WINDOW(window) || !GTK_IS_WIDGET(statusBar) || !GTK_IS_STACK(screens)) {
    g_printerr("platform: %s lacks window, statusBar or screens\n", nibPath.c_str());
    return nullptr;
  }
  std::unique_ptr<GtkWindowPeer> peer(new GtkWindowPeer());
  peer->window_ = GObjectPtr<GtkWidget>::retain(GTK_WIDGET(window));
  peer->statusBar_ = GTK_WIDGET(statusBar);
  peer->screens_ = GTK_STACK(screens);
  return peer;
}

GtkWindowPeer::~GtkWindowPeer() {
  // Transition ends still pending would act on a window that is going.
  RunLoop::main().cancelPerformRequests(alive_.get());
  alive_.reset();
  if (escapeKeys_) g_signal_handlers_disconnect_by_data(escapeKeys_, this);
  gtk_window_destroy(window());
}

void GtkWindowPeer::setRootView(ViewPeer* view) {
  if (!pages_.empty()) {
    detachFromParent(pages_.front().get());
    pages_.erase(pages_.begin());
  }
  GtkWidget* widget = widgetOfPeer(view);
  if (!widget) return;
  detachFromParent(widget);
  addScreen(screens_, widget);
  pages_.insert(pages_.begin(), GObjectPtr<GtkWidget>::retain(widget));
  if (pages_.size() == 1) gtk_stack_set_visible_child(screens_, widget);
}

void GtkWindowPeer::makeKeyAndVisible() { gtk_window_present(window()); }

// Caught before the focused widget (a page would take every key), so that
// Escape closes a screen wherever the focus is in it.
void GtkWindowPeer::setEscapeAction(std::function<bool()> action) {
  escapeAction_ = std::move(action);
  if (escapeKeys_) return;
  escapeKeys_ = gtk_event_controller_key_new();
  gtk_event_controller_set_propagation_phase(escapeKeys_, GTK_PHASE_CAPTURE);
  g_signal_connect(escapeKeys_, "key-pressed",
                   G_CALLBACK(+[](GtkEventControllerKey*, guint key, guint, GdkModifierType modifiers, gpointer self) {
                     auto* peer = static_cast<GtkWindowPeer*>(self);
                     const auto held = modifiers & (GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_ALT_MASK | GDK_SUPER_MASK);
                     if (key != GDK_KEY_Escape || held || !peer->escapeAction_) return gboolean(FALSE);
                     return gboolean(peer->escapeAction_());
                   }),
                   this);
  gtk_widget_add_controller(GTK_WIDGET(window()), escapeKeys_);
}

void GtkWindowPeer::afterTransition(Animated animated, std::function<void()> done) {
  const double seconds = animated == Animated::Yes ? kTransitionSeconds : 0;
  RunLoop::main().performAfterDelay(alive_, seconds, std::move(done));
}

void GtkWindowPeer::pushModal(ViewPeer* view, Animated animated, std::function<void()> done) {
  GtkWidget* widget = widgetOfPeer(view);
  if (!widget) {
    afterTransition(Animated::No, std::move(done));
    return;
  }
  detachFromParent(widget);
  addScreen(screens_, widget);
  pages_.push_back(GObjectPtr<GtkWidget>::retain(widget));
  gtk_stack_set_transition_type(screens_, animated == Animated::Yes ? GTK_STACK_TRANSITION_TYPE_SLIDE_UP
                                                                    : GTK_STACK_TRANSITION_TYPE_NONE);
  gtk_stack_set_transition_duration(screens_, static_cast<guint>(kTransitionSeconds * 1000));
  gtk_stack_set_visible_child(screens_, widget);
  afterTransition(animated, std::move(done));
}

void GtkWindowPeer::popModal(ViewPeer* view, Animated animated, std::function<void()> done) {
  GtkWidget* widget = widgetOfPeer(view);
  auto it = widget ? std::find_if(pages_.begin(), pages_.end(),
                                  [&](const GObjectPtr<GtkWidget>& page) { return page.get() == widget; })
                  : pages_.end();
  if (it == pages_.end() || it == pages_.begin()) {
    afterTransition(Animated::No, std::move(done));
    return;
  }
  GtkWidget* below = (it - 1)->get();
  GObjectPtr<GtkWidget> leavingRef = *it;
  pages_.erase(it);
  gtk_stack_set_transition_type(screens_, animated == Animated::Yes ? GTK_STACK_TRANSITION_TYPE_SLIDE_DOWN
                                                                    : GTK_STACK_TRANSITION_TYPE_NONE);
  gtk_stack_set_visible_child(screens_, below);
  // The page leaves the stack once it has slid away; its view's peer may go
  // first, taking the widget out itself, so look it up again.
  auto screens = GObjectPtr<GtkWidget>::retain(GTK_WIDGET(screens_));
  afterTransition(animated, [leavingRef, screens, done = std::move(done)] {
    if (gtk_widget_get_parent(leavingRef.get()) == screens.get())
      gtk_stack_remove(GTK_STACK(screens.get()), leavingRef.get());
    done();
  });
}

void GtkWindowPeer::setStatusBarHidden(bool hidden) { gtk_widget_set_visible(statusBar_, !hidden); }

bool GtkWindowPeer::saveScreenshot(const std::filesystem::path& png) {
  GtkWidget* widget = window_.get();
  const int width = gtk_widget_get_width(widget);
  const int height = gtk_widget_get_height(widget);
  if (width <= 0 || height <= 0) return false;
  GObjectPtr<GdkPaintable> paintable = GObjectPtr<GdkPaintable>::adopt(gtk_widget_paintable_new(widget));
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(paintable.get(), snapshot, width, height);
  GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
  if (!node) return false;
  GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(widget));
  graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
  GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &bounds);
  gsk_render_node_unref(node);
  const bool saved = texture && gdk_texture_save_to_png(texture, png.c_str());
  if (texture) g_object_unref(texture);
  return saved;
}

std::optional<Rect> GtkWindowPeer::areaOnMonitor() const {
  GtkNative* native = GTK_NATIVE(window_.get());
  GdkSurface* surface = gtk_native_get_surface(native);
  if (!surface || !GDK_IS_X11_SURFACE(surface)) return std::nullopt;
  GdkDisplay* display = gdk_surface_get_display(surface);
  Display* xdisplay = gdk_x11_display_get_xdisplay(display);
  int x = 0, y = 0;
  ::Window child = 0;
  if (!XTranslateCoordinates(xdisplay, gdk_x11_surface_get_xid(surface), DefaultRootWindow(xdisplay), 0, 0, &x, &y,
                             &child))
    return std::nullopt;
  // X counts device pixels from the surface's corner; the window's content
  // starts where the native widget does within the surface.
  const double scale = gdk_surface_get_scale_factor(surface);
  double dx = 0, dy = 0;
  gtk_native_get_surface_transform(native, &dx, &dy);
  const Rect window(x / scale + dx, y / scale + dy, gtk_widget_get_width(GTK_WIDGET(native)),
                    gtk_widget_get_height(GTK_WIDGET(native)));
  Rect best;
  GListModel* monitors = gdk_display_get_monitors(display);
  for (guint i = 0; i < g_list_model_get_n_items(monitors); ++i) {
    auto* monitor = static_cast<GdkMonitor*>(g_list_model_get_item(monitors, i));
    GdkRectangle g{};
    gdk_monitor_get_geometry(monitor, &g);
    g_object_unref(monitor);
    const Rect shared = intersection(window, Rect(g.x, g.y, g.width, g.height));
    if (shared.width() * shared.height() > best.width() * best.height())
      best = Rect(shared.x() - window.x(), shared.y() - window.y(), shared.width(), shared.height());
  }
  return best;
}

}  // namespace platform::gtk
