#include "platform/Toolbar.h"

#include <vector>

#include "platform/ActivityIndicator.h"
#include "platform/BarButtonItem.h"
#include "platform/Button.h"
#include "platform/Image.h"
#include "platform/headless/HeadlessActivityIndicatorPeer.h"
#include "platform/headless/HeadlessBarButtonItemPeer.h"
#include "platform/headless/HeadlessButtonPeer.h"
#include "platform/headless/HeadlessToolbarPeer.h"
#include "tests/support/PlatformTest.h"

using platform::BarButtonItem;
using platform::Rect;

namespace {

class ToolbarTest : public PlatformTest {};

const platform::HeadlessToolbarPeer& peerOf(const platform::Toolbar& toolbar) {
  return *static_cast<const platform::HeadlessToolbarPeer*>(toolbar.peer());
}

platform::HeadlessBarButtonItemPeer& peerOf(BarButtonItem& item) {
  return *static_cast<platform::HeadlessBarButtonItemPeer*>(item.peer());
}

TEST_F(ToolbarTest, ItemsReachThePeerInOrderWithOneFlexibleSpaceInSeveralPlaces) {
  auto toolbar = platform::Toolbar::create(Rect(0, 416, 320, 44));
  auto space = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemFlexibleSpace);
  auto done = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemDone, [] {});
  auto reload = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemRefresh, [] {});
  toolbar->setItems({reload, space, done, space});

  EXPECT_EQ(peerOf(*toolbar).items(),
            (std::vector<BarButtonItem*>{reload.get(), space.get(), done.get(), space.get()}));
  EXPECT_EQ(space->peer(), nullptr);  // the toolbar draws its spaces
  toolbar->setItems({done});
  EXPECT_EQ(peerOf(*toolbar).items(), (std::vector<BarButtonItem*>{done.get()}));
}

TEST_F(ToolbarTest, AnItemCarriesItsStateToItsPeerAndADisabledOneIgnoresPresses) {
  int presses = 0;
  auto item = BarButtonItem::createWithSystemItem(BarButtonItem::kSystemItemAction, [&] { ++presses; });
  item->setWidth(27);
  item->setAccessibilityLabel("Share");
  auto& peer = peerOf(*item);
  EXPECT_EQ(peer.width(), 27);
  // A label is offered only once the item is an accessibility element.
  EXPECT_EQ(peer.accessibilityLabel(), "");
  item->setIsAccessibilityElement(true);
  EXPECT_EQ(peer.accessibilityLabel(), "Share");

  peer.tap();
  EXPECT_EQ(presses, 1);
  item->setEnabled(false);
  EXPECT_FALSE(peer.enabled());
  peer.tap();
  item->press();
  EXPECT_EQ(presses, 1);
}

TEST_F(ToolbarTest, ASpinnerIsHiddenWhileStillAndItsPeerTurnsWithIt) {
  auto spinner = platform::ActivityIndicator::create(platform::ActivityIndicator::kStyleWhite);
  auto& peer = *static_cast<const platform::HeadlessActivityIndicatorPeer*>(spinner->peer());
  EXPECT_TRUE(spinner->isHidden());
  EXPECT_EQ(peer.style(), platform::ActivityIndicator::kStyleWhite);
  spinner->startAnimating();
  EXPECT_TRUE(peer.animating());
  EXPECT_FALSE(spinner->isHidden());
  spinner->stopAnimating();
  EXPECT_FALSE(peer.animating());
  EXPECT_TRUE(platform::HeadlessPeerRecord::of(*spinner)->hidden);
}

// A 2 x 3 RGBA header and nothing after it: enough for the size.
std::vector<std::uint8_t> pngHeader(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(v >> shift));
  png.insert(png.end(), {8, 6, 0, 0, 0});
  return png;
}

TEST_F(ToolbarTest, AnImageReadsItsSizeFromThePNGHeaderAndRefusesAnythingElse) {
  auto image = platform::Image::createFromPNG(pngHeader(54, 50), 2);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 54u);
  EXPECT_EQ(image->size(), (platform::Size{27, 25}));

  EXPECT_FALSE(platform::Image::createFromPNG(pngHeader(0, 50)));
  EXPECT_FALSE(platform::Image::createFromPNG(pngHeader(0x80000000u, 1)));
  EXPECT_FALSE(platform::Image::createFromPNG(pngHeader(4, 4), 0));
  auto truncated = pngHeader(4, 4);
  truncated.pop_back();
  EXPECT_FALSE(platform::Image::createFromPNG(truncated));
  auto notPNG = pngHeader(4, 4);
  notPNG[1] = 'J';
  EXPECT_FALSE(platform::Image::createFromPNG(notPNG));
}

TEST_F(ToolbarTest, AButtonShowsItsImageAndTakesNoPressWhileDisabled) {
  int presses = 0;
  auto button = platform::Button::create(Rect(4, 4, 25, 25));
  button->setAction([&] { ++presses; });
  button->setImage(platform::Image::createFromPNG(pngHeader(50, 50), 2));
  auto& peer = *static_cast<platform::HeadlessButtonPeer*>(button->peer());
  EXPECT_EQ(peer.image(), button->image());
  button->setEnabled(false);
  peer.tap();
  EXPECT_EQ(presses, 0);
  button->setEnabled(true);
  peer.tap();
  EXPECT_EQ(presses, 1);
}

}  // namespace
