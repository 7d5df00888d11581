// A toolbar item's peer: a flat GtkButton showing the system item's icon or
// label, or the item's image; or, for a custom view, a box around that
// view's widget. Clicks reach the item through its client, held weakly.
// The accessibility label is the button's accessible name and tooltip.
#pragma once

#include <memory>

#include "platform/BarButtonItem.h"
#include "platform/gtk/GObjectPtr.h"

#include <gtk/gtk.h>

namespace platform::gtk {

class GtkBarButtonItemPeer final : public BarButtonItemPeer {
 public:
  GtkBarButtonItemPeer(const BarButtonItem& item, std::weak_ptr<BarButtonItemClient> client);
  ~GtkBarButtonItemPeer() override;
  GtkBarButtonItemPeer(const GtkBarButtonItemPeer&) = delete;
  GtkBarButtonItemPeer& operator=(const GtkBarButtonItemPeer&) = delete;

  void* toolkitHandle() override { return widget_.get(); }
  void setEnabled(bool enabled) override;
  void setWidth(double width) override;
  void setStyle(int style) override;
  void setAccessibilityLabel(const std::string& label) override;

 private:
  GObjectPtr<GtkWidget> widget_;
  std::weak_ptr<BarButtonItemClient> client_;
  ScopedSignal clicked_;
};

}  // namespace platform::gtk
