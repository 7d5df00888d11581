// The toolkit for tests without a display: views get recording peers that
// tests read (HeadlessPeerRecord), presentation completes at once,
// sounds are recorded instead of played, and interface files load as
// plain root views when the file exists.
#pragma once

#include <filesystem>
#include <vector>

#include "platform/Toolkit.h"
#include "platform/headless/HeadlessPeerFactory.h"

namespace platform {

class HeadlessToolkit : public Toolkit {
 public:
  // Installs a fresh headless toolkit and returns it.
  static HeadlessToolkit& install();

  PeerFactory& peers() override { return peers_; }
  std::shared_ptr<View> loadNibView(const std::string& name, std::weak_ptr<ViewController> owner,
                                    const Rect& frame) override;
  std::unique_ptr<WindowPeer> createMainWindowPeer(const std::string& nibName) override;
  void playSound(const std::filesystem::path& path) override;
  void vibrate() override { ++vibrations_; }
  void statusBarHiddenChanged(bool hidden) override;
  void showNotice(const std::string& message) override { notices_.push_back(message); }
  int runApplication(int argc, char** argv) override;

  const std::vector<std::filesystem::path>& playedSounds() const { return playedSounds_; }
  const std::vector<std::string>& loadedNibs() const { return loadedNibs_; }
  int vibrations() const { return vibrations_; }
  const std::vector<std::string>& notices() const { return notices_; }

 private:
  HeadlessPeerFactory peers_;
  std::vector<std::filesystem::path> playedSounds_;
  std::vector<std::string> loadedNibs_;
  std::vector<std::string> notices_;
  int vibrations_ = 0;
};

}  // namespace platform
