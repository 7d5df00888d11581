// The application's delegate: puts the main screen in the window at launch.
#pragma once

#include <memory>

#include "platform/ApplicationDelegate.h"

class BlorvikViewController;

class BlorvikAppDelegate : public platform::ApplicationDelegate {
 public:
  void awakeFromMainNib(const platform::MainNib& nib) override;
  bool applicationDidFinishLaunching(platform::Application& application) override;

  // The application's single window and its main screen, both from the
  // main interface file.
  const std::shared_ptr<platform::Window>& window() const { return window_; }
  void setWindow(std::shared_ptr<platform::Window> window) { window_ = std::move(window); }
  const std::shared_ptr<BlorvikViewController>& viewController() const { return viewController_; }
  void setViewController(std::shared_ptr<BlorvikViewController> controller) { viewController_ = std::move(controller); }

 private:
  std::shared_ptr<platform::Window> window_;
  std::shared_ptr<BlorvikViewController> viewController_;
};
