// What the X screen shows, for window tests where more than one window is
// up (a dialog over the application's window): where each window lies on
// the screen, and a PNG of a part of the screen as a person would see it.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

struct ScreenRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool contains(const ScreenRect& other) const {
    return other.x >= x && other.y >= y && other.x + other.w <= x + w && other.y + other.h <= y + h;
  }
  // The part of this that `other` covers (empty when none).
  ScreenRect overlap(const ScreenRect& other) const {
    const int left = std::max(x, other.x), top = std::max(y, other.y);
    const int right = std::min(x + w, other.x + other.w), bottom = std::min(y + h, other.y + other.h);
    return ScreenRect{left, top, std::max(0, right - left), std::max(0, bottom - top)};
  }
};

// The part of the screen that shows `widget` (its window's drawing, without
// a decoration's shadow); none when the widget is not shown on X.
inline std::optional<ScreenRect> screenRectOf(GtkWidget* widget) {
  GtkNative* native = widget ? gtk_widget_get_native(widget) : nullptr;
  GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
  if (!surface || !GDK_IS_X11_SURFACE(surface) || !gtk_widget_get_mapped(widget)) return std::nullopt;
  graphene_rect_t bounds;
  if (!gtk_widget_compute_bounds(widget, GTK_WIDGET(native), &bounds)) return std::nullopt;
  double dx = 0, dy = 0;
  gtk_native_get_surface_transform(native, &dx, &dy);
  Display* display = gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(display, gdk_x11_surface_get_xid(surface), DefaultRootWindow(display), 0, 0, &rootX, &rootY,
                        &child);
  return ScreenRect{rootX + static_cast<int>(dx + bounds.origin.x), rootY + static_cast<int>(dy + bounds.origin.y),
                    static_cast<int>(bounds.size.width), static_cast<int>(bounds.size.height)};
}

// Saves that part of the screen as a PNG, every window in it as shown.
inline bool captureScreen(GdkDisplay* gdkDisplay, const ScreenRect& area, const std::filesystem::path& png) {
  Display* display = gdk_x11_display_get_xdisplay(gdkDisplay);
  XImage* image = XGetImage(display, DefaultRootWindow(display), area.x, area.y, static_cast<unsigned>(area.w),
                            static_cast<unsigned>(area.h), AllPlanes, ZPixmap);
  if (!image) return false;
  std::vector<std::uint8_t> rgb(static_cast<size_t>(area.w) * static_cast<size_t>(area.h) * 3);
  for (int y = 0; y < area.h; ++y)
    for (int x = 0; x < area.w; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      std::uint8_t* p = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(area.w) + static_cast<size_t>(x)) * 3];
      p[0] = static_cast<std::uint8_t>((pixel & image->red_mask) >> __builtin_ctzl(image->red_mask));
      p[1] = static_cast<std::uint8_t>((pixel & image->green_mask) >> __builtin_ctzl(image->green_mask));
      p[2] = static_cast<std::uint8_t>((pixel & image->blue_mask) >> __builtin_ctzl(image->blue_mask));
    }
  XDestroyImage(image);
  GBytes* bytes = g_bytes_new(rgb.data(), rgb.size());
  GdkTexture* texture =
      gdk_memory_texture_new(area.w, area.h, GDK_MEMORY_R8G8B8, bytes, static_cast<gsize>(area.w) * 3);
  g_bytes_unref(bytes);
  const bool saved = gdk_texture_save_to_png(texture, png.c_str());
  g_object_unref(texture);
  return saved;
}
