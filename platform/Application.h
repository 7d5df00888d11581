// The application object: its state (active, inactive, background), the
// events it announces through the default notification centre and its
// delegate, its key window and the status bar's hidden flag.
//
// The toolkit raises the events (window focus, minimising, quitting);
// headless tests raise them by calling the same operations.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ApplicationDelegate.h"

namespace platform {

class Window;
class ViewController;

inline constexpr const char* kApplicationDidFinishLaunchingNotification = "ApplicationDidFinishLaunchingNotification";
inline constexpr const char* kApplicationWillResignActiveNotification = "ApplicationWillResignActiveNotification";
inline constexpr const char* kApplicationDidBecomeActiveNotification = "ApplicationDidBecomeActiveNotification";
inline constexpr const char* kApplicationDidEnterBackgroundNotification = "ApplicationDidEnterBackgroundNotification";
inline constexpr const char* kApplicationWillEnterForegroundNotification =
    "ApplicationWillEnterForegroundNotification";
inline constexpr const char* kApplicationContentReadyNotification = "ApplicationContentReadyNotification";
inline constexpr const char* kApplicationWillTerminateNotification = "ApplicationWillTerminateNotification";
inline constexpr const char* kApplicationDidReceiveMemoryWarningNotification =
    "ApplicationDidReceiveMemoryWarningNotification";

enum class ApplicationState { Active, Inactive, Background };

class Application {
 public:
  using DelegateFactory = std::function<std::shared_ptr<ApplicationDelegate>()>;

  static Application& shared();
  static void resetForTesting();

  // Runs the application: reads the bundle's information file, makes the
  // delegate of the class it names, loads the main interface file, finishes
  // launching and runs the main loop until the last window closes. Returns
  // the exit status.
  static int main(int argc, char** argv);
  // Makes delegate classes known by name, for the information file.
  static void registerDelegateClass(const std::string& name, DelegateFactory factory);
  static std::shared_ptr<ApplicationDelegate> makeDelegate(const std::string& name);
  // Makes view controller classes known by name, for the main interface file.
  using ViewControllerFactory = std::function<std::shared_ptr<ViewController>()>;
  static void registerViewControllerClass(const std::string& name, ViewControllerFactory factory);
  static std::shared_ptr<ViewController> makeViewController(const std::string& name);

  // The launch, without a main loop: the information file's
  // "ApplicationDelegateClass" names the delegate, "NSMainNibFile" the main
  // interface file (the window) and "MainNibViewControllers" maps outlet
  // names to the view controller classes it holds; the delegate receives
  // them all, then launching finishes. False when the delegate class is
  // unknown.
  bool launch();

  ApplicationDelegate* delegate() const { return delegate_.get(); }
  void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

  ApplicationState state() const { return state_; }
  // Whether the window is on screen (not minimised), focused or not: a
  // desktop window without the focus is still seen.
  bool isVisible() const { return !minimized_; }
  bool hasFinishedLaunching() const { return launched_; }

  // Events. Each one changes the state, tells the delegate and posts the
  // matching notification with this application as sender.
  // Launch: the delegate's applicationDidFinishLaunching, the launch
  // notification, then becoming active if the window has focus.
  void finishLaunching();
  // The key window gained or lost focus: active or inactive.
  void setFocused(bool focused);
  // The key window was minimised (background) or restored (foreground).
  void setMinimized(bool minimized);
  void willTerminate();
  void receiveMemoryWarning();

  Window* keyWindow() const { return keyWindow_; }
  // Called by Window::makeKeyAndVisible; the window clears it when it goes.
  void setKeyWindow(Window* window) { keyWindow_ = window; }

  // Whether some installed application handles the URL's scheme (GIO's
  // default handler for it).
  bool canOpenURL(const std::string& url) const;
  void setCanOpenURLForTesting(std::function<bool(const std::string&)> answer) { canOpenURL_ = std::move(answer); }
  // Hands the URL to the application that handles its scheme (GIO's
  // default handler). True when one does and its launch has begun; the
  // launch itself goes on without the run loop waiting for it.
  bool openURL(const std::string& url);
  // Replaces the desktop's handlers: `open` answers and records instead.
  void setOpenURLForTesting(std::function<bool(const std::string&)> open) { openURL_ = std::move(open); }

  // Background tasks: time granted to finish work after the application has
  // moved to the background. The desktop has no such facility, so the
  // product answers false and 0; a platform (or a test) that has one plugs
  // it in here.
  using BackgroundTaskID = std::uint32_t;
  struct BackgroundTaskFacility {
    // A non-zero identifier; the handler runs if the time runs out first.
    std::function<BackgroundTaskID(std::function<void()> expirationHandler)> begin;
    std::function<void(BackgroundTaskID)> end;
  };
  bool supportsBackgroundTasks() const { return backgroundTasks_.has_value(); }
  // 0 without the facility.
  BackgroundTaskID beginBackgroundTaskWithExpirationHandler(std::function<void()> expirationHandler);
  void endBackgroundTask(BackgroundTaskID task);
  void setBackgroundTaskFacility(std::optional<BackgroundTaskFacility> facility) {
    backgroundTasks_ = std::move(facility);
  }

  bool isStatusBarHidden() const { return statusBarHidden_; }
  void setStatusBarHidden(bool hidden);

  // Whether the window is complete only once content arrives later (an ad,
  // say); a screenshot of the start-up screen waits for it.
  bool awaitsContent() const { return awaitsContent_; }
  void setAwaitsContent(bool awaits) { awaitsContent_ = awaits; }
  // The awaited content is shown: posts kApplicationContentReadyNotification
  // the first time.
  void noteContentReady();
  bool isContentReady() const { return contentReady_; }

 private:
  void becomeActive();
  void resignActive();

  std::shared_ptr<ApplicationDelegate> delegate_;
  ApplicationState state_ = ApplicationState::Inactive;
  bool launched_ = false;
  bool focused_ = true;
  bool minimized_ = false;
  Window* keyWindow_ = nullptr;
  bool statusBarHidden_ = false;
  bool awaitsContent_ = false;
  bool contentReady_ = false;
  std::function<bool(const std::string&)> canOpenURL_;
  std::function<bool(const std::string&)> openURL_;
  std::optional<BackgroundTaskFacility> backgroundTasks_;
};

}  // namespace platform
