// The main screen: five buttons that play comic clips, one that opens the
// info screen, and a banner along the bottom; on the first run, the
// question about personalised ads above it.
#pragma once

#include <memory>
#include <string>

#include "platform/ViewController.h"

class GADBannerView;
class PrivacyNotice;

class BlorvikViewController : public platform::ViewController {
 public:
  BlorvikViewController();
  std::string className() const override { return "BlorvikViewController"; }

  void viewDidLoad() override;

  // Actions, wired by name from the interface file.
  void playSound() { playClip("gas"); }
  void playSound2() { playClip("long"); }
  void playSound3() { playClip("loud"); }
  void playSound4() { playClip("short"); }
  void playSound5() { playClip("wet"); }
  void switchview();

  const std::shared_ptr<GADBannerView>& bannerView() const { return bannerView_; }
  // The question about personalised ads, while it is shown (first run only).
  std::shared_ptr<PrivacyNotice> privacyNotice() const;

  // Plays the bundle's "name.wav" without waiting; a missing clip plays
  // nothing and says nothing.
  static void playClip(const std::string& name);

 private:
  std::shared_ptr<GADBannerView> bannerView_;
  std::weak_ptr<PrivacyNotice> privacyNotice_;  // its superview owns it
};
