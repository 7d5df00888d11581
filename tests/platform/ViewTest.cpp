#include "platform/View.h"

#include "tests/support/PlatformTest.h"

using platform::Rect;
using platform::View;

namespace {

class ViewTest : public PlatformTest {};

TEST_F(ViewTest, AddingASubviewSetsItsSuperviewAndStacksItOnTop) {
  auto parent = View::create(Rect(0, 0, 320, 460));
  auto a = View::create(Rect(0, 0, 10, 10));
  auto b = View::create(Rect(0, 410, 320, 50));
  parent->addSubview(a);
  parent->addSubview(b);
  EXPECT_EQ(a->superview(), parent.get());
  ASSERT_EQ(parent->subviews().size(), 2u);
  EXPECT_EQ(parent->subviews().back(), b);
}

TEST_F(ViewTest, AddingToANewSuperviewTakesItFromTheOldOne) {
  auto first = View::create(Rect());
  auto second = View::create(Rect());
  auto child = View::create(Rect());
  first->addSubview(child);
  second->addSubview(child);
  EXPECT_TRUE(first->subviews().empty());
  EXPECT_EQ(child->superview(), second.get());
}

TEST_F(ViewTest, RemovingTheLastReferenceThroughRemoveFromSuperviewReleasesIt) {
  auto parent = View::create(Rect());
  std::weak_ptr<View> weak;
  {
    auto child = View::create(Rect());
    weak = child;
    parent->addSubview(child);
  }
  EXPECT_FALSE(weak.expired());
  weak.lock()->removeFromSuperview();
  EXPECT_TRUE(weak.expired());
}

TEST_F(ViewTest, DestroyedSuperviewLeavesSurvivingChildrenWithoutOne) {
  auto child = View::create(Rect());
  {
    auto parent = View::create(Rect());
    parent->addSubview(child);
  }
  EXPECT_EQ(child->superview(), nullptr);
}

TEST_F(ViewTest, BoundsAreTheFrameAtTheOrigin) {
  auto view = View::create(Rect(5, 410, 320, 50));
  EXPECT_EQ(view->bounds(), Rect(0, 0, 320, 50));
  EXPECT_TRUE(view->isOpaque());
  EXPECT_FALSE(view->isHidden());
}

}  // namespace
