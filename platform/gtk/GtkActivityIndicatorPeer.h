// A spinner's peer: a GtkSpinner, white in the white styles.
#pragma once

#include "platform/ActivityIndicator.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkActivityIndicatorPeer final : public GtkPeer<ActivityIndicatorPeer> {
 public:
  GtkActivityIndicatorPeer();
  void setAnimating(bool animating) override;
  void setStyle(int style) override;

 private:
  GObjectPtr<GtkCssProvider> colour_;
};

}  // namespace platform::gtk
