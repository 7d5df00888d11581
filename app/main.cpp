// The process entry: makes the application's classes known by name and
// hands over to the platform, which takes the delegate and the main screen
// from the bundle's information file and main interface file.
#include <memory>

#include "app/BlorvikAppDelegate.h"
#include "app/BlorvikViewController.h"
#include "platform/Application.h"
#include "platform/gtk/GtkToolkit.h"

int main(int argc, char** argv) {
  platform::gtk::GtkToolkit::install();
  platform::Application::registerDelegateClass("BlorvikAppDelegate",
                                               [] { return std::make_shared<BlorvikAppDelegate>(); });
  platform::Application::registerViewControllerClass("BlorvikViewController",
                                                     [] { return std::make_shared<BlorvikViewController>(); });
  return platform::Application::main(argc, argv);
}
