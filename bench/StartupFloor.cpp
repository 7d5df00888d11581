// The floor the application's start-up is measured against: a bare GTK 4
// window of the application's size with six buttons, and nothing else.
// Prints "startup-ms N", the milliseconds from process start to the
// window's first painted frame (as the application reports its own), then
// quits. Built and run by bench/startup.sh, beside the application.
#include <gtk/gtk.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

double millisecondsSinceProcessStart() {
  std::ifstream in("/proc/self/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long startTicks = 0;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) startTicks = std::stoull(field);
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6 - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

bool quit = false;

void onFirstPaint(GdkFrameClock* clock, gpointer) {
  g_signal_handlers_disconnect_by_func(clock, reinterpret_cast<gpointer>(onFirstPaint), nullptr);
  std::printf("startup-ms %.1f\n", millisecondsSinceProcessStart());
  std::fflush(stdout);
  quit = true;
}

void onMapped(GtkWidget* window, gpointer) {
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
  g_signal_connect(gdk_surface_get_frame_clock(surface), "after-paint", G_CALLBACK(onFirstPaint), nullptr);
}

}  // namespace

int main() {
  gtk_init();
  GtkWidget* window = gtk_window_new();
  gtk_window_set_default_size(GTK_WINDOW(window), 320, 480);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  for (const char* name : {"Gas", "Loud", "Wet", "Short", "Long", "Info"})
    gtk_box_append(GTK_BOX(column), gtk_button_new_with_label(name));
  gtk_window_set_child(GTK_WINDOW(window), column);
  g_signal_connect(window, "map", G_CALLBACK(onMapped), nullptr);
  gtk_window_present(GTK_WINDOW(window));
  while (!quit) g_main_context_iteration(nullptr, TRUE);
  return 0;
}
