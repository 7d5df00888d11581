#include "platform/ViewController.h"

#include "platform/RunLoop.h"
#include "platform/Application.h"
#include "platform/Window.h"
#include "tests/support/PlatformTest.h"

using platform::Animated;
using platform::ViewController;

namespace {

class RecordingController : public ViewController {
 public:
  explicit RecordingController(std::vector<std::string>* events, std::string name = "screen", int* destroyed = nullptr)
      : events_(events), name_(std::move(name)), destroyed_(destroyed) {
    registerAction("close:", [this] { dismissModalViewControllerAnimated(Animated::Yes); });
  }
  ~RecordingController() override {
    if (destroyed_) ++*destroyed_;
  }
  std::string className() const override { return "NoSuchInterfaceFile"; }
  void viewDidLoad() override { events_->push_back(name_ + ".didLoad"); }
  void viewWillAppear(Animated) override { events_->push_back(name_ + ".willAppear"); }
  void viewDidAppear(Animated) override { events_->push_back(name_ + ".didAppear"); }
  void viewWillDisappear(Animated) override { events_->push_back(name_ + ".willDisappear"); }
  void viewDidDisappear(Animated) override { events_->push_back(name_ + ".didDisappear"); }

 private:
  std::vector<std::string>* events_;
  std::string name_;
  int* destroyed_;
};

class ViewControllerTest : public PlatformTest {
 protected:
  std::vector<std::string> events;
};

TEST_F(ViewControllerTest, ViewLoadsOnceOnFirstUseFillingTheApplicationFrame) {
  auto controller = std::make_shared<RecordingController>(&events);
  EXPECT_FALSE(controller->isViewLoaded());
  auto view = controller->view();
  EXPECT_EQ(controller->view(), view);
  EXPECT_EQ(events, (std::vector<std::string>{"screen.didLoad"}));
  EXPECT_EQ(view->frame(), platform::Rect(0, 0, 320, 460));
}

TEST_F(ViewControllerTest, InterfaceFileNamedAfterTheClassIsLoaded) {
  class InfoLike : public ViewController {
   public:
    std::string className() const override { return "info"; }
  };
  auto controller = std::make_shared<InfoLike>();
  controller->view();
  EXPECT_EQ(toolkit().loadedNibs(), (std::vector<std::string>{"info"}));
}

TEST_F(ViewControllerTest, PresentingAndDismissingRunTheAppearanceCallbacksInOrder) {
  platform::Window window;
  auto root = std::make_shared<RecordingController>(&events, "root");
  window.setRootViewController(root);
  auto modal = std::make_shared<RecordingController>(&events, "modal");
  events.clear();

  root->presentModalViewController(modal, Animated::Yes);
  EXPECT_EQ(root->modalViewController(), modal.get());
  EXPECT_EQ(modal->parentViewController(), root.get());
  EXPECT_EQ(modal->window(), &window);
  modal->dismissModalViewControllerAnimated(Animated::Yes);
  // The covered screen disappears and comes back with it.
  EXPECT_EQ(events, (std::vector<std::string>{"modal.didLoad", "root.willDisappear", "modal.willAppear",
                                              "root.didDisappear", "modal.didAppear", "modal.willDisappear",
                                              "root.willAppear", "modal.didDisappear", "root.didAppear"}));
  EXPECT_EQ(root->modalViewController(), nullptr);
  EXPECT_EQ(modal->parentViewController(), nullptr);
}

TEST_F(ViewControllerTest, DismissingFromTheScreensOwnActionReleasesItAfterTheTurn) {
  platform::Window window;
  auto root = std::make_shared<RecordingController>(&events, "root");
  window.setRootViewController(root);
  int destroyed = 0;
  {
    auto modal = std::make_shared<RecordingController>(&events, "modal", &destroyed);
    root->presentModalViewController(modal, Animated::Yes);
  }
  ASSERT_TRUE(root->modalViewController()->performAction("close:"));
  EXPECT_EQ(destroyed, 0) << "released inside its own action";
  EXPECT_TRUE(runUntil([&] { return destroyed == 1; }));
}

TEST_F(ViewControllerTest, AScreenFillsTheWindowItIsShownInAndFollowsTheStatusBar) {
  platform::Window window;
  auto root = std::make_shared<RecordingController>(&events, "root");
  window.setRootViewController(root);
  window.makeKeyAndVisible();
  auto screen = std::make_shared<RecordingController>(&events, "screen");
  auto bar = platform::View::create(platform::Rect(0, 416, 320, 44));
  bar->setAutoresizingMask(platform::kAutoresizingFlexibleTopMargin);
  screen->view()->addSubview(bar);
  EXPECT_EQ(screen->view()->frame().height(), 460) << "made while the status bar shows";
  // Hidden before it is shown, as the ad screens do.
  platform::Application::shared().setStatusBarHidden(true);
  root->presentModalViewController(screen, Animated::No);
  EXPECT_EQ(screen->view()->frame(), platform::Rect(0, 0, 320, 480));
  EXPECT_EQ(bar->frame().y(), 436) << "the bar stays at the bottom";
  platform::Application::shared().setStatusBarHidden(false);
  EXPECT_EQ(screen->view()->frame().height(), 460);
  EXPECT_EQ(root->view()->frame().height(), 460);
  root->dismissModalViewControllerAnimated(Animated::No);
}

TEST_F(ViewControllerTest, UnknownActionIsRefused) {
  auto controller = std::make_shared<RecordingController>(&events);
  EXPECT_FALSE(controller->performAction("nothing:"));
  EXPECT_TRUE(controller->hasAction("close:"));
}

TEST_F(ViewControllerTest, ASecondPresentationWhileOneIsShownIsIgnored) {
  auto root = std::make_shared<RecordingController>(&events, "root");
  auto first = std::make_shared<RecordingController>(&events, "first");
  auto second = std::make_shared<RecordingController>(&events, "second");
  root->presentModalViewController(first, Animated::No);
  root->presentModalViewController(second, Animated::No);
  EXPECT_EQ(root->modalViewController(), first.get());
  EXPECT_FALSE(second->isViewLoaded());
}

}  // namespace
