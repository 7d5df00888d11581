// The info screen: text about the application, a back button, the privacy
// controls (personalised ads on or off, a new advertising identifier) and
// its own banner. Presented over the main screen; a new one each time.
#pragma once

#include <memory>
#include <string>

#include "platform/ViewController.h"

class GADBannerView;
namespace platform {
class Button;
class Switch;
}  // namespace platform

class info : public platform::ViewController {
 public:
  info();
  std::string className() const override { return "info"; }

  void viewDidLoad() override;

  // Action, wired by name from the interface file.
  void back();
  // Escape goes back, as the back button does.
  bool escapePressed() override;

  static constexpr const char* kPersonalisedAdsTitle = "Personalised ads";
  static constexpr const char* kResetTitle = "Reset advertising identifier";

  const std::shared_ptr<GADBannerView>& bannerView() const { return bannerView_; }
  const std::shared_ptr<platform::Switch>& personalisedAdsSwitch() const { return personalisedAds_; }
  const std::shared_ptr<platform::Button>& resetIdentifierButton() const { return resetIdentifier_; }

 private:
  std::shared_ptr<GADBannerView> bannerView_;
  std::shared_ptr<platform::Switch> personalisedAds_;
  std::shared_ptr<platform::Button> resetIdentifier_;
};
