// A switch's peer: a GtkSwitch whose flips by the user reach the switch
// through its client interface, held weakly; the program's own changes do
// not come back.
#pragma once

#include <memory>
#include <string>

#include "platform/Switch.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkSwitchPeer final : public GtkPeer<SwitchPeer> {
 public:
  explicit GtkSwitchPeer(std::weak_ptr<SwitchClient> client);
  void setOn(bool on) override;

 private:
  std::weak_ptr<SwitchClient> client_;
  bool settingFromProgram_ = false;
  // Disconnected before the peer goes, so a flip never finds it gone.
  ScopedSignal changed_;
};

}  // namespace platform::gtk
