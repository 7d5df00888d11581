#include "app/BlorvikAppDelegate.h"

#include "app/BlorvikViewController.h"
#include "platform/Application.h"
#include "platform/Window.h"

void BlorvikAppDelegate::awakeFromMainNib(const platform::MainNib& nib) {
  setWindow(nib.window);
  auto it = nib.viewControllers.find("viewController");
  if (it != nib.viewControllers.end())
    setViewController(std::dynamic_pointer_cast<BlorvikViewController>(it->second));
}

bool BlorvikAppDelegate::applicationDidFinishLaunching(platform::Application&) {
  if (window_) {
    window_->setRootViewController(viewController_);
    window_->makeKeyAndVisible();
  }
  return true;
}
