// The application's side of the choice about personalised ads, on the
// headless toolkit: the first run's notice above the main screen's banner,
// the answer kept in the preferences for the next run, and the info
// screen's switch and reset button.
#include <fstream>

#include "ads/core/GADBannerView.h"
#include "ads/request/GADPrivacySettings.h"
#include "app/BlorvikViewController.h"
#include "app/PrivacyChoice.h"
#include "app/PrivacyNotice.h"
#include "app/info.h"
#include "platform/Button.h"
#include "platform/Label.h"
#include "platform/Switch.h"
#include "platform/UserDefaults.h"
#include "platform/headless/HeadlessButtonPeer.h"
#include "platform/headless/HeadlessLabelPeer.h"
#include "platform/headless/HeadlessSwitchPeer.h"
#include "tests/support/AdsTest.h"

namespace {

class PrivacyNoticeTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    preferences = dataFolder() / "config" / "preferences.plist";
    std::filesystem::create_directories(preferences.parent_path());
    startRun();
  }
  // A run of the application: a fresh preferences store over the same
  // file, and nothing of the ad client's state carried over.
  // A first run (`fresh`) starts with no preferences file.
  void startRun(bool fresh = false) {
    if (auto& current = platform::UserDefaults::standard(); current.file() == preferences) {
      EXPECT_TRUE(runUntil([&] { return !current.isSaving(); }));
    }
    if (fresh) std::filesystem::remove(preferences);
    platform::UserDefaults::setStandardForTesting(std::make_shared<platform::UserDefaults>(preferences));
    GADPrivacySettings::resetForTesting();
  }
  static void tap(const std::shared_ptr<platform::Button>& button) {
    dynamic_cast<platform::HeadlessButtonPeer&>(*button->peer()).tap();
  }

  std::filesystem::path preferences;
};

TEST_F(PrivacyNoticeTest, TheFirstRunAsksAboveTheBannerOnceAndTheAnswerIsKeptForTheNextRun) {
  const std::pair<const char*, GADPersonalisedAds> answers[] = {{PrivacyNotice::kDeclineTitle, GADPersonalisedAds::Declined},
                                                                {PrivacyNotice::kAllowTitle, GADPersonalisedAds::Allowed}};
  for (const auto& [title, choice] : answers) {
    startRun(true);
    auto screen = std::make_shared<BlorvikViewController>();
    screen->view();
    auto notice = screen->privacyNotice();
    ASSERT_NE(notice, nullptr) << title;
    EXPECT_EQ(notice->superview(), screen->view().get());
    EXPECT_EQ(notice->frame(), platform::Rect(0, 330, 320, 80)) << "just above the banner";
    EXPECT_EQ(screen->bannerView()->frame(), platform::Rect(0, 410, 320, 50)) << "the banner stays where it was";
    EXPECT_EQ(screen->view()->subviews().back(), notice) << "on top of the screen's content";
    EXPECT_EQ(dynamic_cast<platform::HeadlessLabelPeer&>(*notice->text()->peer()).text(), PrivacyNotice::kText);
    EXPECT_EQ(notice->allowButton()->title(), "Allow");
    EXPECT_EQ(notice->declineButton()->title(), "No thanks");
    EXPECT_EQ(GADPrivacySettings::personalisedAds(), GADPersonalisedAds::NotAsked);

    tap(title == std::string("Allow") ? notice->allowButton() : notice->declineButton());
    EXPECT_EQ(screen->privacyNotice(), nullptr) << title;
    EXPECT_EQ(notice->superview(), nullptr);
    EXPECT_EQ(GADPrivacySettings::personalisedAds(), choice) << "at once";

    // The next run takes the kept answer and does not ask again.
    notice.reset();
    screen.reset();
    startRun();
    auto next = std::make_shared<BlorvikViewController>();
    next->view();
    EXPECT_EQ(next->privacyNotice(), nullptr) << title;
    EXPECT_EQ(GADPrivacySettings::personalisedAds(), choice) << title;
  }
}

TEST_F(PrivacyNoticeTest, AKeptValueThatIsNoAnswerAsksAgain) {
  platform::UserDefaults::standard().setObjectForKey(platform::Value("maybe"), PrivacyChoice::kKey);
  auto screen = std::make_shared<BlorvikViewController>();
  screen->view();
  EXPECT_NE(screen->privacyNotice(), nullptr);
  EXPECT_EQ(GADPrivacySettings::personalisedAds(), GADPersonalisedAds::NotAsked);
}

TEST_F(PrivacyNoticeTest, TheInfoScreensSwitchShowsTheChoiceAndItAndTheResetActAtOnce) {
  PrivacyChoice::answer(true);
  auto screen = std::make_shared<info>();
  screen->view();
  const auto& toggle = screen->personalisedAdsSwitch();
  auto& togglePeer = dynamic_cast<platform::HeadlessSwitchPeer&>(*toggle->peer());
  EXPECT_TRUE(toggle->isOn());
  EXPECT_TRUE(togglePeer.on()) << "drawn on";
  EXPECT_EQ(togglePeer.record().accessibleName, "Personalised ads");
  EXPECT_EQ(screen->resetIdentifierButton()->title(), "Reset advertising identifier");
  EXPECT_LE(screen->resetIdentifierButton()->frame().y() + screen->resetIdentifierButton()->frame().height(), screen->bannerView()->frame().y()) << "above the banner";

  togglePeer.flipByUser();
  EXPECT_EQ(GADPrivacySettings::personalisedAds(), GADPersonalisedAds::Declined);
  EXPECT_EQ(*platform::UserDefaults::standard().objectForKey(PrivacyChoice::kKey), platform::Value("declined"));
  togglePeer.flipByUser();
  EXPECT_EQ(GADPrivacySettings::personalisedAds(), GADPersonalisedAds::Allowed);

  const std::string before = GADPrivacySettings::applicationIdentifier();
  tap(screen->resetIdentifierButton());
  const std::string after = GADPrivacySettings::applicationIdentifier();
  EXPECT_NE(after, before);
  std::ifstream file(dataFolder() / "advertising-identifier");
  std::string kept;
  std::getline(file, kept);
  EXPECT_EQ(kept, after) << "the new identifier is the one kept";
}

}  // namespace
