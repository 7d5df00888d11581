#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/Screen.h"
#include "platform/ViewController.h"

namespace platform {

Window::Window(std::unique_ptr<WindowPeer> peer) : peer_(std::move(peer)) {
  // The peer goes with the window.
  if (peer_) peer_->setEscapeAction([this] { return escapePressed(); });
}

bool Window::escapePressed() {
  ViewController* top = rootViewController_.get();
  while (top && top->modalViewController()) top = top->modalViewController();
  // The root screen has nothing to close to.
  if (!top || top == rootViewController_.get()) return false;
  // Held alive through its own closing.
  auto keep = top->shared_from_this();
  return top->escapePressed();
}

Window::~Window() {
  if (Application::shared().keyWindow() == this) Application::shared().setKeyWindow(nullptr);
  if (rootViewController_) rootViewController_->setWindow(nullptr);
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
  if (rootViewController_) rootViewController_->setWindow(nullptr);
  rootViewController_ = std::move(controller);
  if (!rootViewController_) {
    if (peer_) peer_->setRootView(nullptr);
    return;
  }
  rootViewController_->setWindow(this);
  auto view = rootViewController_->view();
  if (peer_) peer_->setRootView(view->peer());
}

void Window::makeKeyAndVisible() {
  visible_ = true;
  Application::shared().setKeyWindow(this);
  if (peer_) peer_->makeKeyAndVisible();
}

void Window::layoutScreens() {
  const Rect frame = Screen::main().applicationFrame().bounds();
  for (ViewController* screen = rootViewController_.get(); screen; screen = screen->modalViewController()) {
    // A screen that covers only part of the window keeps its own size.
    if (screen != rootViewController_.get() && screen->modalPresentationStyle() != 0) continue;
    if (screen->isViewLoaded()) screen->view()->setFrame(frame);
  }
}

void Window::pushModalView(const std::shared_ptr<View>& view, Animated animated, std::function<void()> done) {
  layoutScreens();
  if (peer_)
    peer_->pushModal(view->peer(), animated, std::move(done));
  else
    done();
}

void Window::popModalView(const std::shared_ptr<View>& view, Animated animated, std::function<void()> done) {
  if (peer_)
    peer_->popModal(view->peer(), animated, std::move(done));
  else
    done();
}

}  // namespace platform
