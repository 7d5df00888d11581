#include "platform/Application.h"

#include <gio/gio.h>

#include <cstdio>
#include <map>

#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Toolkit.h"
#include "platform/ViewController.h"
#include "platform/Window.h"
#include "platform/ProcessWide.h"

namespace platform {

namespace {

std::unique_ptr<Application>& sharedSlot() {
  return processWide<std::unique_ptr<Application>>();
}

std::map<std::string, Application::DelegateFactory>& delegateClasses() {
  return processWide<std::map<std::string, Application::DelegateFactory>>();
}

std::map<std::string, Application::ViewControllerFactory>& viewControllerClasses() {
  return processWide<std::map<std::string, Application::ViewControllerFactory>>();
}

}  // namespace

Application& Application::shared() {
  auto& slot = sharedSlot();
  if (!slot) slot.reset(new Application());
  return *slot;
}

void Application::resetForTesting() { sharedSlot().reset(new Application()); }

int Application::main(int argc, char** argv) { return Toolkit::current().runApplication(argc, argv); }

void Application::registerDelegateClass(const std::string& name, DelegateFactory factory) {
  delegateClasses()[name] = std::move(factory);
}

std::shared_ptr<ApplicationDelegate> Application::makeDelegate(const std::string& name) {
  auto it = delegateClasses().find(name);
  if (it == delegateClasses().end()) return nullptr;
  return it->second();
}

void Application::registerViewControllerClass(const std::string& name, ViewControllerFactory factory) {
  viewControllerClasses()[name] = std::move(factory);
}

std::shared_ptr<ViewController> Application::makeViewController(const std::string& name) {
  auto it = viewControllerClasses().find(name);
  if (it == viewControllerClasses().end()) return nullptr;
  return it->second();
}

bool Application::launch() {
  const Bundle& bundle = Bundle::main();
  const std::string delegateClass = bundle.infoString("ApplicationDelegateClass");
  delegate_ = makeDelegate(delegateClass);
  if (!delegate_) {
    std::fprintf(stderr, "platform: unknown application delegate class \"%s\"\n", delegateClass.c_str());
    return false;
  }
  MainNib nib;
  nib.window = std::make_shared<Window>(Toolkit::current().createMainWindowPeer(bundle.infoString("NSMainNibFile")));
  if (const Value* outlets = bundle.infoDictionary().find("MainNibViewControllers");
      outlets && outlets->isDictionary()) {
    for (const auto& [outlet, className] : *outlets->asDictionary()) {
      if (!className.isString()) continue;
      if (auto controller = makeViewController(*className.asString()))
        nib.viewControllers.emplace(outlet, std::move(controller));
    }
  }
  delegate_->awakeFromMainNib(nib);
  finishLaunching();
  return true;
}

void Application::finishLaunching() {
  if (launched_) return;
  launched_ = true;
  if (delegate_) delegate_->applicationDidFinishLaunching(*this);
  NotificationCenter::defaultCenter().post(kApplicationDidFinishLaunchingNotification, this);
  if (focused_ && !minimized_) becomeActive();
}

void Application::becomeActive() {
  if (state_ == ApplicationState::Active) return;
  state_ = ApplicationState::Active;
  if (delegate_) delegate_->applicationDidBecomeActive(*this);
  NotificationCenter::defaultCenter().post(kApplicationDidBecomeActiveNotification, this);
}

void Application::resignActive() {
  if (state_ != ApplicationState::Active) return;
  state_ = ApplicationState::Inactive;
  if (delegate_) delegate_->applicationWillResignActive(*this);
  NotificationCenter::defaultCenter().post(kApplicationWillResignActiveNotification, this);
}

void Application::noteContentReady() {
  if (contentReady_) return;
  contentReady_ = true;
  NotificationCenter::defaultCenter().post(kApplicationContentReadyNotification, this);
}

void Application::setFocused(bool focused) {
  focused_ = focused;
  if (!launched_ || minimized_) return;
  if (focused)
    becomeActive();
  else
    resignActive();
}

void Application::setMinimized(bool minimized) {
  if (minimized_ == minimized) return;
  minimized_ = minimized;
  if (!launched_) return;
  auto& center = NotificationCenter::defaultCenter();
  if (minimized) {
    resignActive();
    state_ = ApplicationState::Background;
    if (delegate_) delegate_->applicationDidEnterBackground(*this);
    center.post(kApplicationDidEnterBackgroundNotification, this);
    return;
  }
  if (delegate_) delegate_->applicationWillEnterForeground(*this);
  center.post(kApplicationWillEnterForegroundNotification, this);
  state_ = ApplicationState::Inactive;
  if (focused_) becomeActive();
}

void Application::willTerminate() {
  if (delegate_) delegate_->applicationWillTerminate(*this);
  NotificationCenter::defaultCenter().post(kApplicationWillTerminateNotification, this);
}

void Application::receiveMemoryWarning() {
  if (delegate_) delegate_->applicationDidReceiveMemoryWarning(*this);
  NotificationCenter::defaultCenter().post(kApplicationDidReceiveMemoryWarningNotification, this);
}

bool Application::canOpenURL(const std::string& url) const {
  if (canOpenURL_) return canOpenURL_(url);
  char* scheme = g_uri_parse_scheme(url.c_str());
  if (!scheme) return false;
  GAppInfo* handler = g_app_info_get_default_for_uri_scheme(scheme);
  g_free(scheme);
  if (!handler) return false;
  g_object_unref(handler);
  return true;
}

bool Application::openURL(const std::string& url) {
  if (openURL_) return openURL_(url);
  if (!canOpenURL(url)) return false;
  struct Launch {
    std::string url;
  };
  g_app_info_launch_default_for_uri_async(
      url.c_str(), nullptr, nullptr,
      [](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Launch> launch(static_cast<Launch*>(data));
        GError* error = nullptr;
        if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
          log("Cannot open %s: %s", launch->url.c_str(), error->message);
          g_error_free(error);
        }
      },
      new Launch{url});
  return true;
}

void Application::setStatusBarHidden(bool hidden) {
  if (statusBarHidden_ == hidden) return;
  statusBarHidden_ = hidden;
  Toolkit::current().statusBarHiddenChanged(hidden);
  if (keyWindow_) keyWindow_->layoutScreens();
}

Application::BackgroundTaskID Application::beginBackgroundTaskWithExpirationHandler(
    std::function<void()> expirationHandler) {
  if (!backgroundTasks_ || !backgroundTasks_->begin) return 0;
  return backgroundTasks_->begin(std::move(expirationHandler));
}

void Application::endBackgroundTask(BackgroundTaskID task) {
  if (backgroundTasks_ && backgroundTasks_->end) backgroundTasks_->end(task);
}

}  // namespace platform
