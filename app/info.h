// The info screen: text about the application, a back button and its own
// banner. Presented over the main screen; a new one each time.
#pragma once

#include <memory>
#include <string>

#include "platform/ViewController.h"

class GADBannerView;

class info : public platform::ViewController {
 public:
  info();
  std::string className() const override { return "info"; }

  void viewDidLoad() override;

  // Action, wired by name from the interface file.
  void back();
  // Escape goes back, as the back button does.
  bool escapePressed() override;

  const std::shared_ptr<GADBannerView>& bannerView() const { return bannerView_; }

 private:
  std::shared_ptr<GADBannerView> bannerView_;
};
