// The choice about personalised ads in the application's own window: the
// first run's notice above a shown ad, answered by a real click, gone for
// the next run; the info screen's switch and reset by pointer and by
// keyboard, each read back from the next request the sandbox receives.
// Its suite runs first in its binary, while the run is still a first run.
#include <gtk/gtk.h>

#include "ads/request/GADPrivacySettings.h"
#include "app/PrivacyChoice.h"
#include "app/PrivacyNotice.h"
#include "app/info.h"
#include "platform/Label.h"
#include "platform/Switch.h"
#include "platform/UserDefaults.h"
#include "tests/e2e/AppWindowTest.h"

namespace {

const std::string kZeros(32, '0');

class PrivacyWindowTest : public AppWindowTest {
 protected:
  static std::string isu(const adnet::AdRequestRecord& record) {
    auto found = record.parameters.find("isu");
    return found == record.parameters.end() ? "(none)" : found->second;
  }
  // The info screen's banner asks for its next ad, at once.
  adnet::AdRequestRecord requestFrom(info& screen) {
    GADObjectPrivate& infoLoader = *screen.bannerView()->privateObject();
    EXPECT_TRUE(runUntil([&] { return infoLoader.state() == kGADObjectStateAdShown; }));
    const size_t before = network->adRequests().size();
    screen.bannerView()->loadRequest(GADRequest::request());
    EXPECT_TRUE(runUntil([&] {
      return network->adRequests().size() > before && infoLoader.state() == kGADObjectStateAdShown;
    }));
    return network->adRequests().size() > before ? network->adRequests().at(before) : adnet::AdRequestRecord{};
  }
  // Accent-coloured pixels: a switch's track when it is on.
  static int accentPixels(const ScreenshotPixels& shot, const Place& place) {
    return shot.count(place.x, place.y, place.w, place.h,
                      [](const auto& c) { return c.b > c.r + 80 && c.luminance() < 160; });
  }
};

TEST_F(PrivacyWindowTest, TheFirstRunAsksAboveTheAdAndAnAnswerPutsItAwayForGood) {
  auto notice = mainScreen().privacyNotice();
  ASSERT_NE(notice, nullptr) << "a first run asks";
  ASSERT_TRUE(runUntil([&] { return loader().state() == kGADObjectStateAdShown; }));
  EXPECT_EQ(isu(network->adRequests().back()), kZeros) << "before a choice";

  // What a person sees: the main screen, the notice's white strip with its
  // text just above the banner, and the ad in the banner.
  const ScreenshotPixels shot = screenshotOnceTheAdShows("privacy-notice.png");
  expectTheAdIn(shot);
  const Place strip = placeInWindow(*notice);
  const Place band = placeInWindow(banner());
  EXPECT_EQ(strip.w, 320);
  EXPECT_EQ(strip.y + strip.h, band.y) << "the notice sits on the banner's top edge";
  EXPECT_GT(shot.count(strip.x, strip.y, strip.w, strip.h, [](const auto& c) { return c.luminance() > 235; }),
            strip.w * strip.h / 3)
      << "the notice's white strip";
  const Place text = placeInWindow(*notice->text());
  EXPECT_GT(shot.count(text.x, text.y, text.w, text.h, [](const auto& c) { return c.luminance() < 100; }), 150)
      << "its text is painted";
  EXPECT_TRUE(shot.at(5, strip.y - 20).near(ScreenshotPixels::fromHex("#ffcf3f"))) << "the main screen above it";

  // A real click on "No thanks": the notice goes, the answer holds.
  ASSERT_TRUE(RealInput::clickAt(*notice->declineButton(), 50, 16));
  ASSERT_TRUE(runUntil([&] { return mainScreen().privacyNotice() == nullptr; }));
  EXPECT_EQ(GADPrivacySettings::personalisedAds(), GADPersonalisedAds::Declined);
  const ScreenshotPixels after = screenshot("privacy-notice-answered.png");
  EXPECT_GT(after.count(strip.x, strip.y, strip.w, strip.h,
                        [](const auto& c) { return c.near(ScreenshotPixels::fromHex("#ffcf3f")); }),
            strip.w * strip.h * 9 / 10)
      << "the main screen's colour where the notice was";
  expectTheAdIn(after);
  EXPECT_EQ(isu(nextRequest()), kZeros) << "after No thanks";

  // The next run: a fresh preferences store over the same file.
  auto& kept = platform::UserDefaults::standard();
  ASSERT_TRUE(runUntil([&] { return !kept.isSaving(); }));
  ASSERT_TRUE(kept.file().has_value());
  platform::UserDefaults::setStandardForTesting(std::make_shared<platform::UserDefaults>(*kept.file()));
  GADPrivacySettings::resetForTesting();
  auto nextRun = std::make_shared<BlorvikViewController>();
  nextRun->view();
  EXPECT_EQ(nextRun->privacyNotice(), nullptr) << "asked once";
  EXPECT_EQ(GADPrivacySettings::personalisedAds(), GADPersonalisedAds::Declined);
}

TEST_F(PrivacyWindowTest, TheInfoScreensSwitchAndResetActOnTheNextRequestByPointerAndByKeyboard) {
  PrivacyChoice::answer(false);
  mainScreen().switchview();
  info* shown = waitForScreenOver<info>(mainScreen());
  ASSERT_NE(shown, nullptr);
  ASSERT_TRUE(runUntil([&] { return !gtk_stack_get_transition_running(gtk_widgets::screensOf(window())); }));
  const platform::Switch& toggle = *shown->personalisedAdsSwitch();
  const platform::Button& reset = *shown->resetIdentifierButton();
  EXPECT_FALSE(toggle.isOn());
  EXPECT_EQ(isu(requestFrom(*shown)), kZeros) << "switched off";

  // By pointer: the switch on, then a reset.
  ASSERT_TRUE(RealInput::clickAt(toggle, 27, 13));
  ASSERT_TRUE(runUntil([&] { return toggle.isOn(); }));
  const std::string own = GADPrivacySettings::applicationIdentifier();
  EXPECT_EQ(isu(requestFrom(*shown)), own) << "after switching on";
  const Place track = placeInWindow(toggle);
  const Place button = placeInWindow(reset);
  const ScreenshotPixels on = screenshot("info-personalised-ads-on.png");
  EXPECT_GT(accentPixels(on, track), track.w * track.h / 10) << "the switch is drawn on (the knob covers half)";
  EXPECT_GT(on.count(button.x, button.y, button.w, button.h, [](const auto& c) { return c.luminance() < 100; }), 100)
      << "the reset button's label is painted";

  ASSERT_TRUE(RealInput::clickAt(reset, button.w / 2.0, button.h / 2.0));
  ASSERT_TRUE(runUntil([&] { return GADPrivacySettings::applicationIdentifier() != own; }));
  const std::string renewed = GADPrivacySettings::applicationIdentifier();
  EXPECT_EQ(isu(requestFrom(*shown)), renewed) << "after a reset";

  // By keyboard: Space on the focused switch turns it off; Return on the
  // focused button resets.
  gtk_widget_grab_focus(gtk_widgets::widgetOf(toggle));
  ASSERT_TRUE(RealInput::pressKey(toggle, "space"));
  ASSERT_TRUE(runUntil([&] { return !toggle.isOn(); }));
  EXPECT_EQ(PrivacyChoice::stored(), GADPersonalisedAds::Declined);
  EXPECT_EQ(isu(requestFrom(*shown)), kZeros) << "after switching off";
  const ScreenshotPixels off = screenshot("info-personalised-ads-off.png");
  EXPECT_LT(accentPixels(off, track), accentPixels(on, track) / 4) << "the switch is drawn off";

  gtk_widget_grab_focus(gtk_widgets::widgetOf(reset));
  ASSERT_TRUE(RealInput::pressKey(reset, "Return"));
  ASSERT_TRUE(runUntil([&] { return GADPrivacySettings::applicationIdentifier() != renewed; }));
  gtk_widget_grab_focus(gtk_widgets::widgetOf(toggle));
  ASSERT_TRUE(RealInput::pressKey(toggle, "space"));
  ASSERT_TRUE(runUntil([&] { return toggle.isOn(); }));
  EXPECT_EQ(isu(requestFrom(*shown)), GADPrivacySettings::applicationIdentifier()) << "the identifier reset by key";

  PrivacyChoice::answer(false);
  std::weak_ptr<platform::ViewController> weak = shown->weak_from_this();
  shown->back();
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
}

}  // namespace
