// A user's real input for window tests: X pointer events under Xvfb, made
// by xdotool, so the application sees them as it sees a person's (a script
// dispatching a click in a page is no user's gesture).
#pragma once

#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "tests/e2e/GtkWidgets.h"
#include "tests/e2e/PageScript.h"

class RealInput {
 public:
  // A primary-button click at (x, y) in `view`'s own coordinates, the
  // button held down for `holdSeconds` (xdotool's own click is quick).
  static bool clickAt(const platform::View& view, double x, double y, double holdSeconds = 0) {
    return clickAt(gtk_widgets::widgetOf(view), x, y, holdSeconds);
  }
  // The same in a widget of our own (a dialog's button, say).
  static bool clickAt(GtkWidget* widget, double x, double y, double holdSeconds = 0) {
    if (!widget) return false;
    GtkNative* native = gtk_widget_get_native(widget);
    graphene_point_t in = GRAPHENE_POINT_INIT(static_cast<float>(x), static_cast<float>(y)), out;
    if (!native || !gtk_widget_compute_point(widget, GTK_WIDGET(native), &in, &out)) return false;
    double dx = 0, dy = 0;
    gtk_native_get_surface_transform(native, &dx, &dy);
    GdkSurface* surface = gtk_native_get_surface(native);
    if (!GDK_IS_X11_SURFACE(surface)) return false;
    const std::string window = std::to_string(gdk_x11_surface_get_xid(surface));
    const std::string px = std::to_string(std::lround(out.x + dx)), py = std::to_string(std::lround(out.y + dy));
    // Whatever the loop has to draw is drawn first: the click lands on what is shown.
    platform::RunLoop::main().runFor(0.05);
    if (holdSeconds <= 0) {
      const char* argv[] = {"xdotool", "mousemove", "--window", window.c_str(), px.c_str(), py.c_str(),
                            "click",   "1",         nullptr};
      return run(argv);
    }
    // The loop turns while the button is down, as it would for a person.
    const char* down[] = {"xdotool", "mousemove", "--window", window.c_str(), px.c_str(), py.c_str(),
                          "mousedown", "1",       nullptr};
    if (!run(down)) return false;
    platform::RunLoop::main().runFor(holdSeconds);
    const char* up[] = {"xdotool", "mouseup", "1", nullptr};
    return run(up);
  }

  // A key a user presses (an X key name: "Return", "Escape") in the
  // window that holds `view`, which takes the focus first.
  static bool pressKey(const platform::View& view, const std::string& key) {
    return pressKey(gtk_widgets::widgetOf(view), key);
  }
  // The same in the window that holds `widget` (a dialog of our own, say).
  static bool pressKey(GtkWidget* widget, const std::string& key) {
    GtkNative* native = widget ? gtk_widget_get_native(widget) : nullptr;
    GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
    if (!surface || !GDK_IS_X11_SURFACE(surface)) return false;
    const std::string window = std::to_string(gdk_x11_surface_get_xid(surface));
    platform::RunLoop::main().runFor(0.05);
    const char* argv[] = {"xdotool", "windowfocus", "--sync", window.c_str(), "key", key.c_str(), nullptr};
    return run(argv);
  }

  // A click on the middle of the element with that id in `page`, scrolled
  // into view first.
  static bool clickElement(platform::WebView& page, const std::string& id, double holdSeconds = 0) {
    const auto where = PageScript::evaluate(
        page, "(function(){var e=document.getElementById('" + id +
                  "');if(!e)return '';e.scrollIntoView({block:'center'});var r=e.getBoundingClientRect();"
                  "return Math.round(r.left+Math.min(r.width/2,20))+','+Math.round(r.top+r.height/2);})()");
    if (!where || where->find(',') == std::string::npos) {
      ADD_FAILURE() << "no element " << id;
      return false;
    }
    const size_t comma = where->find(',');
    return clickAt(page, std::stod(where->substr(0, comma)), std::stod(where->substr(comma + 1)), holdSeconds);
  }

  // Moves the window that holds `view` to (x, y) on the screen, as a
  // desktop (or its user) would.
  static bool moveWindow(const platform::View& view, int x, int y) {
    GtkNative* native = gtk_widget_get_native(gtk_widgets::widgetOf(view));
    GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
    if (!surface || !GDK_IS_X11_SURFACE(surface)) return false;
    const std::string window = std::to_string(gdk_x11_surface_get_xid(surface));
    const std::string px = std::to_string(x), py = std::to_string(y);
    const char* argv[] = {"xdotool", "windowmove", "--sync", window.c_str(), px.c_str(), py.c_str(), nullptr};
    return run(argv);
  }

 private:
  static bool run(const char* const* argv) {
    int status = -1;
    GError* error = nullptr;
    const bool ran = g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                                  nullptr, nullptr, &status, &error);
    if (error) {
      ADD_FAILURE() << "xdotool: " << error->message;
      g_error_free(error);
    }
    return ran && g_spawn_check_wait_status(status, nullptr);
  }
};
