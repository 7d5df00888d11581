// A screen: a root view loaded on first use (from the interface file named
// after the controller, when there is one), actions that interface files
// wire by name, and modal presentation of another screen over it.
//
// Ownership: a controller owns the controller it presents modally; the
// presented one refers back to its presenter without owning it, and the
// presenter clears that reference when the presented one is dismissed.
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/View.h"

namespace platform {

class Window;

class ViewController : public std::enable_shared_from_this<ViewController> {
 public:
  // `nibName` empty: the interface file named after className().
  explicit ViewController(std::string nibName = {});
  virtual ~ViewController();
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  virtual std::string className() const { return "ViewController"; }
  std::string nibName() const { return nibName_.empty() ? className() : nibName_; }

  // The root view, loaded (and viewDidLoad called) on first use.
  std::shared_ptr<View> view();
  bool isViewLoaded() const { return view_ != nullptr; }

  virtual void viewDidLoad() {}
  virtual void viewDidUnload() {}
  virtual void viewWillAppear(Animated) {}
  virtual void viewDidAppear(Animated) {}
  virtual void viewWillDisappear(Animated) {}
  virtual void viewDidDisappear(Animated) {}
  virtual void didReceiveMemoryWarning() {}
  // A desktop window never rotates, so the toolkit never calls this; it is
  // here for screens that react to a rotation.
  virtual void didRotateFromInterfaceOrientation(int /*from*/) {}
  // The user pressed Escape while this screen was the top one: true when
  // the screen closed (as its own close control would), false to leave
  // the key to whoever has the focus.
  virtual bool escapePressed() { return false; }

  // Runs the action registered under `name` ("playSound:"); returns false
  // when there is none. Interface files call this for their buttons.
  bool performAction(const std::string& name);
  bool hasAction(const std::string& name) const { return actions_.contains(name); }

  // Presents `controller` over this screen: its view slides up over the
  // window. Appearance callbacks: viewWillAppear now, viewDidAppear when the
  // transition has ended; a full-screen presentation (style 0) also tells
  // this screen it disappears, and the dismissal that it appears again.
  void presentModalViewController(const std::shared_ptr<ViewController>& controller, Animated animated);
  // Sent to the presented screen (or its presenter): the presented screen
  // slides away and is released once the transition has ended, never inside
  // this call.
  void dismissModalViewControllerAnimated(Animated animated);

  // 0: the presented screen covers the whole window (the only style the
  // desktop has); other values are kept for callers that ask.
  int modalPresentationStyle() const { return modalPresentationStyle_; }
  void setModalPresentationStyle(int style) { modalPresentationStyle_ = style; }
  // 0: slides up from the bottom edge.
  int modalTransitionStyle() const { return modalTransitionStyle_; }
  void setModalTransitionStyle(int style) { modalTransitionStyle_ = style; }
  // A desktop window does not rotate: always portrait (1).
  int interfaceOrientation() const { return 1; }

  ViewController* modalViewController() const { return modalViewController_.get(); }
  ViewController* parentViewController() const { return presentingViewController_; }

  // The window showing this screen, through the chain of presenters.
  Window* window() const;
  // Set by the window for its root view controller.
  void setWindow(Window* window) { window_ = window; }

 protected:
  // For loadView overrides that make the root view themselves.
  void setView(std::shared_ptr<View> view) { view_ = std::move(view); }
  // The view made when no interface file is found: a plain view filling the
  // application frame.
  virtual void loadView();
  void registerAction(std::string name, std::function<void()> action);

 private:
  std::string nibName_;
  std::shared_ptr<View> view_;
  std::unordered_map<std::string, std::function<void()>> actions_;
  std::shared_ptr<ViewController> modalViewController_;
  // Dismissed, still sliding away: they name this one as their presenter
  // until they have gone (or this one goes first).
  std::vector<std::weak_ptr<ViewController>> leaving_;
  ViewController* presentingViewController_ = nullptr;
  Window* window_ = nullptr;
  int modalPresentationStyle_ = 0;
  int modalTransitionStyle_ = 0;
};

}  // namespace platform
