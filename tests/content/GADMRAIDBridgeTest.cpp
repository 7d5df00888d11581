#include "ads/content/GADMRAIDBridge.h"

#include <gtest/gtest.h>

namespace {

using platform::Rect;

const Rect kWindow(0, 0, 320, 480);

// What the page is told of an ad's place follows what shows of it.
TEST(GADMRAIDBridgeTest, ExposureIsTheShareOfTheAdInsideAShownWindow) {
  auto whole = GADMRAIDBridge::measure(Rect(0, 430, 320, 50), kWindow, true);
  EXPECT_TRUE(whole.viewable);
  EXPECT_DOUBLE_EQ(whole.exposedPercentage, 100);
  EXPECT_EQ(whole.visibleRectangle, Rect(0, 0, 320, 50));
  EXPECT_EQ(whole.maxSize.height, 480);

  // Half of it below the window's edge: the top half shows.
  auto half = GADMRAIDBridge::measure(Rect(0, 455, 320, 50), kWindow, true);
  EXPECT_DOUBLE_EQ(half.exposedPercentage, 50);
  EXPECT_EQ(half.visibleRectangle, Rect(0, 0, 320, 25));
  // A quarter off the left edge.
  auto left = GADMRAIDBridge::measure(Rect(-80, 0, 320, 50), kWindow, true);
  EXPECT_DOUBLE_EQ(left.exposedPercentage, 75);
  EXPECT_EQ(left.visibleRectangle, Rect(80, 0, 240, 50));

  for (const auto& none : {GADMRAIDBridge::measure(Rect(0, 430, 320, 50), kWindow, false),
                           GADMRAIDBridge::measure(Rect(0, 480, 320, 50), kWindow, true),
                           GADMRAIDBridge::measure(Rect(0, 430, 0, 0), kWindow, true)}) {
    EXPECT_FALSE(none.viewable);
    EXPECT_DOUBLE_EQ(none.exposedPercentage, 0);
    EXPECT_FALSE(none.visibleRectangle);
  }
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

}  // namespace
