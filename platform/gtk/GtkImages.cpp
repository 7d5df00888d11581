#include "platform/gtk/GtkImages.h"

#include "platform/Log.h"

namespace platform::gtk {

GObjectPtr<GdkTexture> textureOfImage(const Image& image) {
  const auto& png = image.pngBytes();
  GBytes* bytes = g_bytes_new(png.data(), png.size());
  GError* error = nullptr;
  GdkTexture* texture = gdk_texture_new_from_bytes(bytes, &error);
  g_bytes_unref(bytes);
  if (!texture) {
    log("Cannot decode an image: %s", error ? error->message : "unknown error");
    if (error) g_error_free(error);
  }
  return GObjectPtr<GdkTexture>::adopt(texture);
}

GtkWidget* newPictureOfImage(const Image& image) {
  auto texture = textureOfImage(image);
  // Artwork in a button, which names it: nothing for a screen reader to read.
  GtkWidget* picture = GTK_WIDGET(g_object_new(GTK_TYPE_PICTURE, "accessible-role", GTK_ACCESSIBLE_ROLE_PRESENTATION,
                                               "paintable", texture ? GDK_PAINTABLE(texture.get()) : nullptr, nullptr));
  // Drawn at the image's scale: a 54-pixel image at scale 2 takes 27 points.
  gtk_picture_set_can_shrink(GTK_PICTURE(picture), TRUE);
  gtk_widget_set_size_request(picture, static_cast<int>(image.size().width), static_cast<int>(image.size().height));
  return picture;
}

}  // namespace platform::gtk
