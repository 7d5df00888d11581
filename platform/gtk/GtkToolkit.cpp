#include "platform/gtk/GtkToolkit.h"

#include "platform/gtk/GtkPageResourceMonitor.h"
#include "platform/gtk/GtkMediaWarmUp.h"
#include "platform/gtk/GtkWebViewSettings.h"

#include <gtk/gtk.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/PageResourceMonitor.h"
#include "platform/NotificationCenter.h"
#include "platform/NumberText.h"
#include "platform/Screen.h"
#include "platform/ViewController.h"
#include "platform/Window.h"
#include "platform/gtk/GtkViewPeer.h"
#include "platform/gtk/GtkWindowPeer.h"
#include "platform/gtk/NibScope.h"

namespace platform::gtk {

namespace {

constexpr const char* kApplicationID = "com.blorvik.soundboard";

struct RunOptions {
  std::string screenshot;
  bool startupReport = false;
  double quitAfter = 0;
  GtkApplication* app = nullptr;
};

RunOptions& options() {
  static RunOptions o;
  return o;
}

// Streams that are playing; each is released once it has ended or failed.
std::set<GtkMediaStream*>& playing() {
  static std::set<GtkMediaStream*> streams;
  return streams;
}

void finishStream(GtkMediaStream* stream) {
  if (playing().erase(stream) == 0) return;
  // Released on a later turn, outside the stream's own notification.
  g_idle_add_once([](gpointer data) { g_object_unref(data); }, stream);
}

size_t& waitingSounds() {
  static size_t count = 0;
  return count;
}

void startSound(const std::filesystem::path& path) {
  GtkMediaStream* stream = gtk_media_file_new_for_filename(path.c_str());
  playing().insert(stream);
  auto onChange = +[](GtkMediaStream* s, GParamSpec*, gpointer) {
    if (gtk_media_stream_get_ended(s) || gtk_media_stream_get_error(s)) finishStream(s);
  };
  g_signal_connect(stream, "notify::ended", G_CALLBACK(onChange), nullptr);
  g_signal_connect(stream, "notify::error", G_CALLBACK(onChange), nullptr);
  gtk_media_stream_play(stream);
}

// Milliseconds since this process started, from the kernel's start time.
double millisecondsSinceProcessStart() {
  std::ifstream in("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long startTicks = 0;
  // Field 22 overall is the 20th after the command name.
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i == 22) startTicks = std::stoull(field);
  }
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
  return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void saveScreenshotAndQuit() {
  Window* window = Application::shared().keyWindow();
  bool saved = window && window->peer() && window->peer()->saveScreenshot(options().screenshot);
  std::fprintf(stderr, saved ? "screenshot saved to %s\n" : "screenshot to %s failed\n", options().screenshot.c_str());
  if (options().app) g_application_quit(G_APPLICATION(options().app));
}

// Once the awaited content is shown (or after kContentWaitSeconds without
// it), a second for it to be painted, then the screenshot.
constexpr double kContentWaitSeconds = 15;

void waitForContentThenSaveScreenshot() {
  auto& app = Application::shared();
  auto later = [] { g_timeout_add_once(1000, [](gpointer) { saveScreenshotAndQuit(); }, nullptr); };
  if (!app.awaitsContent() || app.isContentReady()) {
    later();
    return;
  }
  static int token;
  static guint fallback = 0;
  auto& center = NotificationCenter::defaultCenter();
  center.addObserver(&token, kApplicationContentReadyNotification, nullptr, [later](const Notification&) {
    NotificationCenter::defaultCenter().removeObserver(&token);
    if (fallback) g_source_remove(fallback);
    fallback = 0;
    later();
  });
  fallback = g_timeout_add_once(static_cast<guint>(kContentWaitSeconds * 1000), [](gpointer) {
    fallback = 0;
    NotificationCenter::defaultCenter().removeObserver(&token);
    std::fprintf(stderr, "screenshot: no content after %g s, saving the window as it is\n", kContentWaitSeconds);
    saveScreenshotAndQuit();
  }, nullptr);
}

// The main screen has been shown when the window's first frame is painted.
void onFirstPaint(GdkFrameClock* clock, gpointer) {
  g_signal_handlers_disconnect_by_func(clock, reinterpret_cast<gpointer>(onFirstPaint), nullptr);
  // Once the window is up: started with the launch, it held up the launch
  // (both load libraries, one at a time).
  GtkMediaWarmUp::start();
  if (options().startupReport) std::printf("startup-ms %s\n", NumberText::fixed(millisecondsSinceProcessStart(), 1).c_str());
  std::fflush(stdout);
  if (!options().screenshot.empty()) waitForContentThenSaveScreenshot();
}

void onWindowMapped(GtkWidget* widget, gpointer) {
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
  Screen::main().setScale(gdk_surface_get_scale_factor(surface));
  g_signal_connect(gdk_surface_get_frame_clock(surface), "after-paint", G_CALLBACK(onFirstPaint), nullptr);
  g_signal_connect(surface, "notify::state", G_CALLBACK(+[](GdkToplevel* toplevel, GParamSpec*, gpointer) {
                     const bool minimized = gdk_toplevel_get_state(toplevel) & GDK_TOPLEVEL_STATE_MINIMIZED;
                     Application::shared().setMinimized(minimized);
                   }),
                   nullptr);
}

// The application's look comes with its main window, however the window is
// made (the program, or a test that launches the application), once.
void loadStyleSheet() {
  static bool loaded = false;
  if (loaded) return;
  loaded = true;
  auto css = Bundle::main().pathForResource("style", "css");
  if (!css) return;
  auto provider = GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_path(provider.get(), css->c_str());
  gtk_style_context_add_provider_for_display(gdk_display_get_default(), GTK_STYLE_PROVIDER(provider.get()),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

void onActiveChanged(GtkWindow* window, GParamSpec*, gpointer) {
  // Without a window manager (Xvfb) a window may never be given focus; until
  // it has had focus once, the application counts as active.
  static bool hadFocus = false;
  const bool active = gtk_window_is_active(window);
  if (active) hadFocus = true;
  if (hadFocus) Application::shared().setFocused(active);
}

}  // namespace

GtkToolkit& GtkToolkit::install(InitGtk init) {
  if (init == InitGtk::Yes) {
    gtk_init();
    GtkWebViewSettings::startWebProcessSoon();
  }
  auto toolkit = std::make_unique<GtkToolkit>();
  auto& ref = *toolkit;
  Toolkit::install(std::move(toolkit));
  // The ad client holds each ad page to bounds read from here.
  PageResourceMonitor::install(std::make_unique<GtkPageResourceMonitor>());
  return ref;
}

std::shared_ptr<View> GtkToolkit::loadNibView(const std::string& name, std::weak_ptr<ViewController> owner,
                                              const Rect& frame) {
  auto path = Bundle::main().pathForResource(name, "ui");
  if (!path) return nullptr;
  auto builder = GObjectPtr<GtkBuilder>::adopt(gtk_builder_new());
  auto scope = GObjectPtr<GtkBuilderScope>::adopt(newNibScope(std::move(owner)));
  gtk_builder_set_scope(builder.get(), scope.get());
  GError* error = nullptr;
  if (!gtk_builder_add_from_file(builder.get(), path->c_str(), &error)) {
    g_printerr("platform: cannot load %s: %s\n", path->c_str(), error->message);
    g_error_free(error);
    return nullptr;
  }
  GObject* content = gtk_builder_get_object(builder.get(), "view");
  if (!GTK_IS_WIDGET(content)) {
    g_printerr("platform: %s has no widget \"view\"\n", path->c_str());
    return nullptr;
  }
  // The interface file's widgets fill a container that takes the views
  // added later (the banner) on top of them.
  GtkWidget* root = newPlainFixed();
  gtk_widget_set_overflow(root, GTK_OVERFLOW_HIDDEN);
  gtk_widget_set_size_request(GTK_WIDGET(content), static_cast<int>(frame.width()), static_cast<int>(frame.height()));
  gtk_fixed_put(GTK_FIXED(root), GTK_WIDGET(content), 0, 0);
  return View::createWithPeer(frame, std::make_unique<GtkViewPeer>(root));
}

std::unique_ptr<WindowPeer> GtkToolkit::createMainWindowPeer(const std::string& nibName) {
  auto path = Bundle::main().pathForResource(nibName, "ui");
  if (!path) {
    g_printerr("platform: no main interface file \"%s\"\n", nibName.c_str());
    return nullptr;
  }
  loadStyleSheet();
  auto peer = GtkWindowPeer::load(*path);
  if (!peer) return nullptr;
  GtkWindow* window = peer->window();
  if (options().app) gtk_window_set_application(window, options().app);
  g_signal_connect(window, "map", G_CALLBACK(onWindowMapped), nullptr);
  g_signal_connect(window, "notify::is-active", G_CALLBACK(onActiveChanged), nullptr);
  return peer;
}

// A desktop has no vibration motor: the display's bell is the nearest thing.
void GtkToolkit::vibrate() {
  if (GdkDisplay* display = gdk_display_get_default()) gdk_display_beep(display);
}

void GtkToolkit::playSound(const std::filesystem::path& path) {
  // Until the media framework is ready, the sound waits (and counts as
  // playing) rather than the main loop.
  ++waitingSounds();
  GtkMediaWarmUp::whenReady([path] {
    --waitingSounds();
    startSound(path);
  });
}

size_t GtkToolkit::playingSoundCount() const { return playing().size() + waitingSounds(); }

void GtkToolkit::statusBarHiddenChanged(bool hidden) {
  Window* window = Application::shared().keyWindow();
  if (window && window->peer()) window->peer()->setStatusBarHidden(hidden);
}

void GtkToolkit::showNotice(const std::string& message) {
  // A small modal window over the key window, with the message and OK.
  GtkWidget* notice = gtk_window_new();
  gtk_window_set_modal(GTK_WINDOW(notice), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(notice), FALSE);
  gtk_window_set_title(GTK_WINDOW(notice), "");
  Window* window = Application::shared().keyWindow();
  if (auto* peer = window ? dynamic_cast<GtkWindowPeer*>(window->peer()) : nullptr)
    gtk_window_set_transient_for(GTK_WINDOW(notice), peer->window());
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_widget_set_margin_start(box, 18);
  gtk_widget_set_margin_end(box, 18);
  gtk_widget_set_margin_top(box, 18);
  gtk_widget_set_margin_bottom(box, 12);
  GtkWidget* label = gtk_label_new(message.c_str());
  gtk_label_set_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 32);
  GtkWidget* ok = gtk_button_new_with_label("OK");
  gtk_widget_set_halign(ok, GTK_ALIGN_END);
  g_signal_connect_swapped(ok, "clicked", G_CALLBACK(gtk_window_destroy), notice);
  gtk_box_append(GTK_BOX(box), label);
  gtk_box_append(GTK_BOX(box), ok);
  gtk_window_set_child(GTK_WINDOW(notice), box);
  gtk_window_present(GTK_WINDOW(notice));
}

int GtkToolkit::runApplication(int argc, char** argv) {
  RunOptions& o = options();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--screenshot" && i + 1 < argc)
      o.screenshot = argv[++i];
    else if (arg == "--startup-report")
      o.startupReport = true;
    else if (arg == "--quit-after" && i + 1 < argc)
      o.quitAfter = NumberText::parse(argv[++i]).value_or(0);
  }
  if (o.startupReport) {
    // And when the content the window awaits (the first ad) shows.
    static int token;
    NotificationCenter::defaultCenter().addObserver(&token, kApplicationContentReadyNotification, nullptr,
                                                    [](const Notification&) {
                                                      NotificationCenter::defaultCenter().removeObserver(&token);
                                                      std::printf("content-ms %s\n",
                                                                  NumberText::fixed(millisecondsSinceProcessStart(), 1).c_str());
                                                      std::fflush(stdout);
                                                    });
  }
  o.app = gtk_application_new(kApplicationID, G_APPLICATION_NON_UNIQUE);
  g_signal_connect(o.app, "activate", G_CALLBACK(+[](GApplication*, gpointer) {
                     if (Application::shared().hasFinishedLaunching()) {
                       if (Window* w = Application::shared().keyWindow()) w->makeKeyAndVisible();
                       return;
                     }
                     if (!Application::shared().launch()) g_application_quit(G_APPLICATION(options().app));
                     if (options().quitAfter > 0)
                       g_timeout_add_once(static_cast<guint>(options().quitAfter * 1000),
                                          [](gpointer) { g_application_quit(G_APPLICATION(options().app)); },
                                          nullptr);
                   }),
                   nullptr);
  g_signal_connect(o.app, "shutdown", G_CALLBACK(+[](GApplication*, gpointer) {
                     Application::shared().willTerminate();
                   }),
                   nullptr);
  // Our options are ours alone: GTK sees only the program name.
  char* programOnly[] = {argv[0], nullptr};
  const int status = g_application_run(G_APPLICATION(o.app), 1, programOnly);
  // The delegate owns the window and the screens: let them go while GTK is
  // still there, not in static destruction.
  Application::shared().setDelegate(nullptr);
  g_object_unref(o.app);
  o.app = nullptr;
  return status;
}

}  // namespace platform::gtk
