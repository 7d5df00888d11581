// The seam between the platform layer and what draws it: the GTK 4 backend
// for the application, the headless one for tests. Exactly one is installed
// per process, before the first view is made.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Geometry.h"

namespace platform {

class PeerFactory;
class View;
class ViewController;
class WindowPeer;

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // The installed toolkit. Aborts with a message when none is installed.
  static Toolkit& current();
  static void install(std::unique_ptr<Toolkit> toolkit);
  static bool isInstalled();

  // The maker of this toolkit's widget peers.
  virtual PeerFactory& peers() = 0;
  // Loads the interface file `name` as a root view of `frame`, wiring each
  // button's handler name to `owner`'s action of that name. Null when there
  // is no such file.
  virtual std::shared_ptr<View> loadNibView(const std::string& name, std::weak_ptr<ViewController> owner,
                                            const Rect& frame) = 0;
  // The window of the main interface file `nibName` (null when headless).
  virtual std::unique_ptr<WindowPeer> createMainWindowPeer(const std::string& nibName) = 0;
  // Starts playing the sound file at `path`; returns at once.
  virtual void playSound(const std::filesystem::path& path) = 0;
  // The device's vibration, or what stands in for it; returns at once.
  virtual void vibrate() = 0;
  virtual void statusBarHiddenChanged(bool hidden) = 0;
  // A short message for the user, dismissed by the user; returns at once.
  virtual void showNotice(const std::string& message) = 0;
  // Application::main's work: see there.
  virtual int runApplication(int argc, char** argv) = 0;
};

}  // namespace platform
