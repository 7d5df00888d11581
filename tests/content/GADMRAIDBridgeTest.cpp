#include "ads/content/GADMRAIDBridge.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "ads/content/GADMRAIDResize.h"
#include "platform/Screen.h"
#include "platform/View.h"

namespace {

using platform::Rect;

const Rect kWindow(0, 0, 320, 480);

// What the page is told of an ad's place follows what shows of it.
TEST(GADMRAIDBridgeTest, ExposureIsTheShareOfTheAdInsideAShownWindow) {
  auto whole = GADMRAIDBridge::measure(Rect(0, 430, 320, 50), kWindow, kWindow, true);
  EXPECT_TRUE(whole.viewable);
  EXPECT_DOUBLE_EQ(whole.exposedPercentage, 100);
  EXPECT_EQ(whole.visibleRectangle, Rect(0, 0, 320, 50));
  EXPECT_EQ(whole.maxSize.height, 480);

  // Half of it below the window's edge: the top half shows.
  auto half = GADMRAIDBridge::measure(Rect(0, 455, 320, 50), kWindow, kWindow, true);
  EXPECT_DOUBLE_EQ(half.exposedPercentage, 50);
  EXPECT_EQ(half.visibleRectangle, Rect(0, 0, 320, 25));
  // A quarter off the left edge.
  auto left = GADMRAIDBridge::measure(Rect(-80, 0, 320, 50), kWindow, kWindow, true);
  EXPECT_DOUBLE_EQ(left.exposedPercentage, 75);
  EXPECT_EQ(left.visibleRectangle, Rect(80, 0, 240, 50));

  for (const auto& none : {GADMRAIDBridge::measure(Rect(0, 430, 320, 50), kWindow, kWindow, false),
                           GADMRAIDBridge::measure(Rect(0, 480, 320, 50), kWindow, kWindow, true),
                           GADMRAIDBridge::measure(Rect(0, 430, 0, 0), kWindow, kWindow, true)}) {
    EXPECT_FALSE(none.viewable);
    EXPECT_DOUBLE_EQ(none.exposedPercentage, 0);
    EXPECT_FALSE(none.visibleRectangle);
  }
}

// A superview that clips leaves the ad only its own part of the window.
TEST(GADMRAIDBridgeTest, AnAdClippedByItsSuperviewIsExposedByThePartLeft) {
  auto root = platform::View::create(Rect(0, 0, 320, 480));
  auto strip = platform::View::create(Rect(0, 380, 320, 60));
  auto ad = platform::View::create(Rect(0, 30, 320, 50));
  root->addSubview(strip);
  strip->addSubview(ad);
  auto placement = GADMRAIDBridge::placementInWindow(*ad);
  EXPECT_EQ(placement.frame.y(), platform::Screen::main().applicationFrame().y() + 410);
  EXPECT_DOUBLE_EQ(GADMRAIDBridge::measure(placement.frame, placement.visibleArea, kWindow, placement.shown).exposedPercentage,
                   100) << "nothing clips yet";
  strip->setClipsToBounds(true);
  placement = GADMRAIDBridge::placementInWindow(*ad);
  auto clipped = GADMRAIDBridge::measure(placement.frame, placement.visibleArea, kWindow, placement.shown);
  EXPECT_DOUBLE_EQ(clipped.exposedPercentage, 60);
  EXPECT_EQ(clipped.visibleRectangle, Rect(0, 0, 320, 30));
  strip->setHidden(true);
  EXPECT_FALSE(GADMRAIDBridge::placementInWindow(*ad).shown);
}

TEST(GADMRAIDBridgeTest, ThePageScriptNamesTheAdUnitAsText) {
  const std::string page = GADMRAIDBridge::pageScript("a1b2c3d4e5f6071");
  EXPECT_NE(page.find("MRAID_ENV"), std::string::npos);
  EXPECT_NE(page.find("\"a1b2c3d4e5f6071\""), std::string::npos);
  EXPECT_EQ(page.find("VERSION"), std::string::npos) << "the version is filled in";
  EXPECT_EQ(page.find("NAME"), std::string::npos) << "the script's name is filled in";
  // A quote in the ad unit cannot end the script's text.
  EXPECT_EQ(GADMRAIDBridge::pageScript("x'y\"z").find("x'y\"z"), std::string::npos);
}

// The client's own check of a page's resize, whatever the page checked.
TEST(GADMRAIDResizeTest, APlaceIsGivenOnlyWhereTheAdAndItsCloseRegionMayBe) {
  const Rect home(0, 430, 320, 50);
  auto place = [&](platform::Dictionary parameters) -> std::string {
    auto properties = GADMRAIDResize::parse(parameters);
    if (!properties) return "unreadable";
    auto result = GADMRAIDResize::place(*properties, home, kWindow);
    if (auto* why = std::get_if<std::string>(&result)) return *why;
    const Rect r = std::get<Rect>(result);
    return std::to_string(int(r.x())) + " " + std::to_string(int(r.y())) + " " + std::to_string(int(r.width())) + " " +
           std::to_string(int(r.height()));
  };
  EXPECT_EQ(place({{"width", "320"}, {"height", "100"}, {"offsetx", "0"}, {"offsety", "-50"}}), "0 380 320 100");
  EXPECT_EQ(place({{"width", "49"}, {"height", "100"}, {"offsetx", "0"}, {"offsety", "-50"}}), "smaller than 50 x 50");
  EXPECT_EQ(place({{"width", "1e9"}, {"height", "100"}, {"offsetx", "0"}, {"offsety", "0"}}), "too large");
  EXPECT_EQ(place({{"width", "320"}, {"height", "100"}, {"offsetx", "0"}}), "unreadable");
  EXPECT_EQ(place({{"width", "nan"}, {"height", "100"}, {"offsetx", "0"}, {"offsety", "0"}}), "unreadable");
  EXPECT_EQ(place({{"width", "320"}, {"height", "100"}, {"offsetx", "0"}, {"offsety", "0"}, {"allowoffscreen", "yes"}}),
            "unreadable");
  // Below the window's edge: refused without leave, given with it.
  EXPECT_EQ(place({{"width", "320"}, {"height", "100"}, {"offsetx", "0"}, {"offsety", "0"}, {"allowoffscreen", "false"}}),
            "off the screen");
  EXPECT_EQ(place({{"width", "320"}, {"height", "100"}, {"offsetx", "0"}, {"offsety", "0"}}), "0 430 320 100");
  // Past the right edge the close region goes with it: never given.
  EXPECT_EQ(place({{"width", "100"}, {"height", "50"}, {"offsetx", "260"}, {"offsety", "0"}}),
            "its close region off the screen");
  EXPECT_EQ(place({{"width", "100"}, {"height", "60"}, {"offsetx", "0"}, {"offsety", "-440"}}),
            "its close region off the screen");
}

}  // namespace
