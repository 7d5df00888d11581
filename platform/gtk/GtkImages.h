// Images on GTK: a texture decoded from an image's PNG bytes, and a picture
// widget that shows it at its size in points.
#pragma once

#include <gtk/gtk.h>

#include "platform/Image.h"
#include "platform/gtk/GObjectPtr.h"

namespace platform::gtk {

// Empty when GDK cannot decode the bytes.
GObjectPtr<GdkTexture> textureOfImage(const Image& image);
// A new (floating) GtkPicture sized to the image's points.
GtkWidget* newPictureOfImage(const Image& image);

}  // namespace platform::gtk
