// What the application tells its delegate. Every operation is optional.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

namespace platform {

class Application;
class Window;
class ViewController;

// The objects the main interface file made: the window and the view
// controllers it names, by outlet name.
struct MainNib {
  std::shared_ptr<Window> window;
  std::unordered_map<std::string, std::shared_ptr<ViewController>> viewControllers;
};

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;

  // Before launching finishes: takes the main interface file's objects.
  virtual void awakeFromMainNib(const MainNib&) {}
  virtual bool applicationDidFinishLaunching(Application&) { return true; }
  virtual void applicationWillResignActive(Application&) {}
  virtual void applicationDidEnterBackground(Application&) {}
  virtual void applicationWillEnterForeground(Application&) {}
  virtual void applicationDidBecomeActive(Application&) {}
  virtual void applicationWillTerminate(Application&) {}
  virtual void applicationDidReceiveMemoryWarning(Application&) {}
};

}  // namespace platform
