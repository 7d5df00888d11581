#include "platform/View.h"

#include <vector>

#include "platform/Button.h"
#include "platform/headless/HeadlessButtonPeer.h"
#include "platform/headless/HeadlessPeer.h"
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

TEST_F(ViewTest, AResizedViewLaysOutItsSubviewsByTheirMasks) {
  using namespace platform;
  const struct {
    const char* what;
    unsigned mask;
    Rect before, after;  // in a 320 x 460 view that grows to 320 x 480
  } cases[] = {
      {"fixed", kAutoresizingNone, Rect(0, 416, 320, 44), Rect(0, 416, 320, 44)},
      {"to the bottom", kAutoresizingFlexibleTopMargin, Rect(0, 416, 320, 44), Rect(0, 436, 320, 44)},
      {"filling", kAutoresizingFlexibleHeight, Rect(0, 0, 320, 460), Rect(0, 0, 320, 480)},
      // The growth is shared in proportion to the flexible parts.
      {"page over a bar", kAutoresizingFlexibleHeight | kAutoresizingFlexibleBottomMargin, Rect(0, 0, 320, 400),
       Rect(0, 0, 320, 400 + 20 * 400.0 / 460)},
      {"centred", kAutoresizingFlexibleTopMargin | kAutoresizingFlexibleBottomMargin, Rect(0, 200, 320, 60),
       Rect(0, 210, 320, 60)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto parent = View::create(Rect(0, 0, 320, 460));
    auto child = View::create(c.before);
    child->setAutoresizingMask(c.mask);
    parent->addSubview(child);
    parent->setFrame(Rect(0, 0, 320, 480));
    EXPECT_NEAR(child->frame().y(), c.after.y(), 1e-9);
    EXPECT_NEAR(child->frame().height(), c.after.height(), 1e-9);
    EXPECT_EQ(child->frame().width(), 320);
  }
}

TEST_F(ViewTest, BoundsAreTheFrameAtTheOrigin) {
  auto view = View::create(Rect(5, 410, 320, 50));
  EXPECT_EQ(view->bounds(), Rect(0, 0, 320, 50));
  EXPECT_TRUE(view->isOpaque());
  EXPECT_FALSE(view->isHidden());
}

}  // namespace

// ------------------------------------------------ the view-to-peer protocol

namespace {

using platform::HeadlessPeerRecord;

class PeerProtocolTest : public PlatformTest {};

// A kind of view that sets its looks while it is being made, before it can
// have a peer.
class Tinted : public View {
 public:
  explicit Tinted(const Rect& frame) : View(frame) {
    setHidden(true);
    setBackgroundColor(platform::Color{1, 0, 0, 1});
  }
};

TEST_F(PeerProtocolTest, PeersMirrorTheHierarchyInOrder) {
  auto parent = View::create(Rect(0, 0, 320, 460));
  auto a = View::create(Rect(0, 0, 10, 10));
  auto b = View::create(Rect(0, 410, 320, 50));
  parent->addSubview(a);
  parent->addSubview(b);
  const HeadlessPeerRecord* record = HeadlessPeerRecord::of(*parent);
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->children.size(), 2u);
  EXPECT_EQ(record->children[0], HeadlessPeerRecord::of(*a));
  EXPECT_EQ(record->children[1], HeadlessPeerRecord::of(*b));
  EXPECT_EQ(HeadlessPeerRecord::of(*b)->frame, Rect(0, 410, 320, 50));
  parent->addSubview(a);  // to the top
  EXPECT_EQ(record->children.back(), HeadlessPeerRecord::of(*a));
  auto other = View::create(Rect());
  other->addSubview(b);
  EXPECT_EQ(record->children.size(), 1u) << "moved, not copied";
  EXPECT_EQ(HeadlessPeerRecord::of(*b)->parent, HeadlessPeerRecord::of(*other));
  a->removeFromSuperview();
  EXPECT_TRUE(record->children.empty());
  EXPECT_EQ(HeadlessPeerRecord::of(*a)->parent, nullptr);
}

TEST_F(PeerProtocolTest, WhatAViewSetBeforeItHadAPeerReachesThePeer) {
  auto view = View::make<Tinted>(Rect(5, 6, 7, 8));
  const HeadlessPeerRecord* record = HeadlessPeerRecord::of(*view);
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(record->hidden);
  EXPECT_EQ(record->backgroundColor, (platform::Color{1, 0, 0, 1}));
  EXPECT_EQ(record->frame, Rect(5, 6, 7, 8));
  view->setHidden(false);
  EXPECT_FALSE(record->hidden);
}

TEST_F(PeerProtocolTest, AButtonsPeerShowsItsTitleAndPressesThroughTheClient) {
  auto button = platform::Button::create(Rect(0, 0, 80, 40), "Gas");
  auto* peer = static_cast<platform::HeadlessButtonPeer*>(button->peer());
  ASSERT_NE(peer, nullptr);
  EXPECT_EQ(peer->title(), "Gas");
  button->setTitle("Wet");
  EXPECT_EQ(peer->title(), "Wet");
  int presses = 0;
  button->setAction([&] { ++presses; });
  peer->tap();
  EXPECT_EQ(presses, 1);
}

TEST_F(PeerProtocolTest, AParentThatGoesFirstLeavesItsChildrensPeersWhole) {
  auto child = View::create(Rect());
  {
    auto parent = View::create(Rect());
    parent->addSubview(child);
  }
  EXPECT_EQ(child->superview(), nullptr);
  EXPECT_EQ(HeadlessPeerRecord::of(*child)->parent, nullptr);
}

}  // namespace
