// The GTK 4 toolkit: the application's windows, views, interface files and
// sounds. Main thread only.
#pragma once

#include "platform/Toolkit.h"
#include "platform/gtk/GtkPeerFactory.h"

namespace platform::gtk {

class GtkToolkit : public Toolkit {
 public:
  // Installs the GTK toolkit. Tests that make widgets without running the
  // application pass InitGtk::Yes.
  enum class InitGtk { No, Yes };
  static GtkToolkit& install(InitGtk init = InitGtk::No);

  PeerFactory& peers() override { return peers_; }
  std::shared_ptr<View> loadNibView(const std::string& name, std::weak_ptr<ViewController> owner,
                                    const Rect& frame) override;
  std::unique_ptr<WindowPeer> createMainWindowPeer(const std::string& nibName) override;
  void playSound(const std::filesystem::path& path) override;
  void vibrate() override;
  void statusBarHiddenChanged(bool hidden) override;
  void showNotice(const std::string& message) override;
  // Options, before GTK's own: --screenshot FILE (save the window as PNG
  // once the main screen is shown, then quit), --startup-report (print the
  // milliseconds from process start to the main screen being shown),
  // --quit-after SECONDS.
  int runApplication(int argc, char** argv) override;

  // Sounds started and not yet ended.
  size_t playingSoundCount() const;

 private:
  GtkPeerFactory peers_;
};

}  // namespace platform::gtk
