// A plain view's peer: a GtkFixed, or the root widget of a loaded
// interface file.
#pragma once

#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkViewPeer final : public GtkPeer<ViewPeer> {
 public:
  // A clipping GtkFixed.
  GtkViewPeer();
  // Takes the new reference to `widget`.
  explicit GtkViewPeer(GtkWidget* widget) : GtkPeer(widget) {}
};

}  // namespace platform::gtk
