#include "platform/ViewController.h"

#include "platform/RunLoop.h"
#include "platform/Screen.h"
#include "platform/Toolkit.h"
#include "platform/Window.h"

namespace platform {

ViewController::ViewController(std::string nibName) : nibName_(std::move(nibName)) {}

ViewController::~ViewController() {
  if (modalViewController_) modalViewController_->presentingViewController_ = nullptr;
  for (const auto& weak : leaving_)
    if (auto leaving = weak.lock(); leaving && leaving->presentingViewController_ == this)
      leaving->presentingViewController_ = nullptr;
}

std::shared_ptr<View> ViewController::view() {
  if (!view_) {
    loadView();
    if (!view_) view_ = View::create(Screen::main().applicationFrame().bounds());
    viewDidLoad();
  }
  return view_;
}

void ViewController::loadView() {
  const Rect frame = Screen::main().applicationFrame().bounds();
  view_ = Toolkit::current().loadNibView(nibName(), weak_from_this(), frame);
}

void ViewController::registerAction(std::string name, std::function<void()> action) {
  actions_[std::move(name)] = std::move(action);
}

bool ViewController::performAction(const std::string& name) {
  auto it = actions_.find(name);
  if (it == actions_.end()) return false;
  // The action may dismiss and so release this controller: hold it.
  auto self = shared_from_this();
  auto action = it->second;
  action();
  return true;
}

Window* ViewController::window() const {
  if (window_) return window_;
  return presentingViewController_ ? presentingViewController_->window() : nullptr;
}

void ViewController::presentModalViewController(const std::shared_ptr<ViewController>& controller,
                                                Animated animated) {
  if (!controller || modalViewController_) return;
  modalViewController_ = controller;
  controller->presentingViewController_ = this;
  auto view = controller->view();
  // A full-screen presentation hides this screen: it disappears while the
  // presented one appears.
  const bool covers = controller->modalPresentationStyle() == 0;
  if (covers) viewWillDisappear(animated);
  // At the window's size before it appears: a screen that builds its views
  // then lays them out at the size they are shown at, not stretched to it.
  if (Window* w = window(); w && covers) w->layoutScreens();
  controller->viewWillAppear(animated);
  std::weak_ptr<ViewController> weakPresented = controller;
  std::weak_ptr<ViewController> weakSelf = weak_from_this();
  auto done = [weakPresented, weakSelf, covers, animated] {
    if (auto self = weakSelf.lock(); self && covers) self->viewDidDisappear(animated);
    if (auto presented = weakPresented.lock()) presented->viewDidAppear(animated);
  };
  if (Window* w = window())
    w->pushModalView(view, animated, std::move(done));
  else
    done();
}

void ViewController::dismissModalViewControllerAnimated(Animated animated) {
  if (!modalViewController_) {
    if (presentingViewController_) presentingViewController_->dismissModalViewControllerAnimated(animated);
    return;
  }
  // No longer this screen's presented one, at once: a screen presented
  // while it slides away goes over this one, not over it. It is held until
  // it has gone.
  auto presented = std::move(modalViewController_);
  leaving_.push_back(presented);
  // The dismissal usually comes from the presented screen's own action:
  // it must outlive this turn whatever the transition does.
  RunLoop::main().keepAliveUntilEndOfTurn(presented);
  const bool uncovers = presented->modalPresentationStyle() == 0;
  presented->viewWillDisappear(animated);
  if (uncovers) viewWillAppear(animated);
  std::weak_ptr<ViewController> weakSelf = weak_from_this();
  auto done = [weakSelf, presented, uncovers, animated] {
    presented->viewDidDisappear(animated);
    auto self = weakSelf.lock();
    if (!self) return;
    if (presented->presentingViewController_ == self.get()) presented->presentingViewController_ = nullptr;
    std::erase_if(self->leaving_, [&](const auto& weak) { return weak.expired() || weak.lock() == presented; });
    // Unless another screen came up over it meanwhile.
    if (uncovers && !self->modalViewController_) self->viewDidAppear(animated);
  };
  if (Window* w = window())
    w->popModalView(presented->view(), animated, std::move(done));
  else
    done();
}

}  // namespace platform
