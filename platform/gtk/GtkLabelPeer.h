// A label's peer: a GtkLabel that wraps its text at the view's width.
#pragma once

#include "platform/Label.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkLabelPeer final : public GtkPeer<LabelPeer> {
 public:
  GtkLabelPeer();
  void setText(const std::string& text) override;
};

}  // namespace platform::gtk
