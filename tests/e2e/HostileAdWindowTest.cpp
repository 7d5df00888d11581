// Attacking ads in the application's own window, with real WebKit: each
// hostile creative of the sandbox runs its script for a while, and nothing
// it tries without a click gets through (nothing reaches the desktop, no
// screen opens, no click is counted or tracked, the ad stays where it is),
// while the banner goes on showing and refreshing ads. The same things done
// by a user's real click still work.
#include <iostream>

#include "ads/content/GADContentPolicy.h"
#include "platform/MailComposer.h"
#include "tests/e2e/AppWindowTest.h"
#include "tests/e2e/GtkWidgets.h"
#include "tests/e2e/ScratchHome.h"

namespace {

using Kind = adnet::HostileCreatives::Kind;

class HostileAdWindowTest : public AppWindowTest {
 protected:
  void SetUp() override {
    AppWindowTest::SetUp();
    GADContentPolicy::resetForTesting();
    Application::shared().setOpenURLForTesting([this](const std::string& url) {
      opened.push_back(url);
      return true;
    });
    Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
  }
  void TearDown() override {
    Application::shared().setCanOpenURLForTesting({});
    AppWindowTest::TearDown();
  }
  size_t requests(const std::string& path) const { return network->requestCount(path); }
  int refusals(GADContentPolicy::Refusal kind) const { return GADContentPolicy::refusalCount(kind); }
  // The attack has its time; then nothing of it may have got through.
  void expectNothingGotThrough(const char* what) {
    SCOPED_TRACE(what);
    EXPECT_TRUE(opened.empty()) << opened.size() << " handed to the desktop, the first " << opened.front();
    EXPECT_EQ(mainScreen().modalViewController(), nullptr) << "a screen opened";
    EXPECT_EQ(GADViewController::presentedScreenCount(), 0);
    for (const auto& call : events->calls) EXPECT_NE(call, "willPresent");
    for (const auto& call : events->calls) EXPECT_NE(call, "willLeave");
    EXPECT_EQ(loader().state(), kGADObjectStateAdShown) << "the ad stays shown";
    ASSERT_TRUE(loader().webView()->currentURL());
    EXPECT_EQ(loader().webView()->currentURL()->path(), "/zovo/ads/ad") << "the banner never left the ad";
  }
  // What was refused, for the record of the run.
  static void report(const char* what) {
    using R = GADContentPolicy::Refusal;
    std::cout << "refused for " << what << ": gesture " << GADContentPolicy::refusalCount(R::NoGesture) << ", scheme "
              << GADContentPolicy::refusalCount(R::Scheme) << ", screen " << GADContentPolicy::refusalCount(R::Screen)
              << ", opener " << GADContentPolicy::refusalCount(R::Opener) << ", rate "
              << GADContentPolicy::refusalCount(R::MessageRate) << ", size "
              << GADContentPolicy::refusalCount(R::MessageSize) << ", tracking "
              << GADContentPolicy::refusalCount(R::TrackingURLs) << std::endl;
  }

  // What opened for the user: hand-offs to the desktop, ad screens, the composer.
  size_t openings() {
    const bool composer = dynamic_cast<platform::MailComposer*>(mainScreen().modalViewController()) != nullptr;
    return opened.size() + static_cast<size_t>(GADViewController::presentedScreenCount()) + (composer ? 1 : 0);
  }
  // Closes whatever opened over the main screen.
  void closeWhatOpened() {
    if (auto* screen = dynamic_cast<GADViewController*>(mainScreen().modalViewController())) {
      giveBack(*screen);
    } else if (auto* composer = mainScreen().modalViewController()) {
      composer->dismissModalViewControllerAnimated(platform::Animated::No);
      runUntil([&] { return mainScreen().modalViewController() == nullptr; });
    }
  }

  std::vector<std::string> opened;
};

TEST_F(HostileAdWindowTest, EveryAttackWithoutAClickIsRefusedAndTheBannerGoesOnShowingAds) {
  const struct {
    Kind kind;
    GADContentPolicy::Refusal refused;  // what the attack must have met
  } attacks[] = {
      {Kind::LeavesTheApplication, GADContentPolicy::Refusal::NoGesture},
      {Kind::StacksScreens, GADContentPolicy::Refusal::NoGesture},
      {Kind::FloodsMessages, GADContentPolicy::Refusal::MessageRate},
      {Kind::NavigatesItself, GADContentPolicy::Refusal::NoGesture},
      {Kind::BorrowsOurScripts, GADContentPolicy::Refusal::NoGesture},
  };
  for (const auto& attack : attacks) {
    const std::string name = adnet::HostileCreatives::name(attack.kind);
    SCOPED_TRACE(name);
    // A plain ad first ends the last attack's page, so what is counted is this one's.
    network->behaviour() = adnet::AdNetwork::Behaviour{};
    showFreshAd();
    RunLoop::main().runFor(0.5);
    GADContentPolicy::resetForTesting();
    network->behaviour().hostile = attack.kind;
    network->behaviour().clickTracking = true;
    showFreshAd();
    events->calls.clear();
    const size_t clickTracking = requests("/zovo/clk");
    RunLoop::main().runFor(3.0);
    expectNothingGotThrough(name.c_str());
    EXPECT_EQ(requests("/zovo/clk"), clickTracking) << "no click tracked";
    EXPECT_GT(refusals(attack.refused), 0);
    report(name.c_str());
  }
  // The banner is still the application's: the next refresh shows a plain ad.
  network->behaviour() = adnet::AdNetwork::Behaviour{};
  const auto& next = nextRequest();
  EXPECT_TRUE(next.parameters.contains("preqs"));
  EXPECT_EQ(loader().state(), kGADObjectStateAdShown);
  EXPECT_EQ(next.parameters.contains("pcc") ? next.parameters.at("pcc") : "0", "0") << "no click was counted";
}

TEST_F(HostileAdWindowTest, AScriptedClickIsNoClickButTheUsersClickOnTheSameLinkIs) {
  network->behaviour().clickTracking = true;
  showFreshAd();
  events->calls.clear();
  const size_t clickTracking = requests("/zovo/clk");
  script(*loader().webView(),
         "document.getElementById('ad').dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true})); 1");
  RunLoop::main().runFor(1.0);
  expectNothingGotThrough("a scripted click");
  EXPECT_EQ(requests("/zovo/clk"), clickTracking);

  clickTheAd();
  auto* webApp = waitForScreenOver<GADWebAppViewController>(mainScreen());
  ASSERT_NE(webApp, nullptr);
  ASSERT_TRUE(runUntil([&] { return requests("/zovo/clk") == clickTracking + 1; }));
  giveBack(*webApp);
}

TEST_F(HostileAdWindowTest, AClickOnAnAdThatAsksForScreensInALoopOpensOneScreenOnly) {
  network->behaviour().hostile = Kind::StacksScreens;
  showFreshAd();
  clickTheAd();
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  RunLoop::main().runFor(2.0);  // the ad goes on asking underneath
  EXPECT_EQ(GADViewController::presentedScreenCount(), 1);
  EXPECT_EQ(browser->modalViewController(), nullptr);
  EXPECT_TRUE(opened.empty());
  report("a click on stacks-screens");
  giveBack(*browser);
}

// The ad's click handler and its timers ask for hand-offs, screens, windows,
// frames and a move of their own, all with WebKit's gesture flag: the
// user's one click is one act.
TEST_F(HostileAdWindowTest, OneClickOnAnAdThatAsksForManyIsOneOpeningAndOneCountedClick) {
  network->behaviour().hostile = Kind::AsksForManyOnAClick;
  network->behaviour().clickTracking = true;
  showFreshAd();
  GADContentPolicy::resetForTesting();
  const size_t clickTracking = requests("/zovo/clk");
  clickTheAd();
  ASSERT_TRUE(runUntil([&] { return openings() > 0; }));
  RunLoop::main().runFor(1.5);  // the timers have asked
  EXPECT_EQ(openings(), 1u) << opened.size() << " handed to the desktop, "
                            << GADViewController::presentedScreenCount() << " screens";
  // The ad's own click tracking fires once, for an opening from its page;
  // an "open" message that won the click fires none.
  EXPECT_LE(requests("/zovo/clk") - clickTracking, 1u);
  EXPECT_GT(refusals(GADContentPolicy::Refusal::NoGesture), 10);
  report("a click on asks-for-many-on-a-click");
  closeWhatOpened();
  const auto& next = nextRequest();
  ASSERT_TRUE(next.parameters.contains("pcc"));
  EXPECT_EQ(next.parameters.at("pcc"), "1") << "one counted click";
}

// A key lends the page nothing unless it is Enter or Space, which follow
// or press what has the focus.
TEST_F(HostileAdWindowTest, AKeyOtherThanEnterOrSpaceOnTheBannerIsNoClick) {
  network->behaviour().hostile = Kind::AsksForManyOnAClick;
  showFreshAd();
  GADContentPolicy::resetForTesting();
  GtkWidget* page = gtk_widget_get_first_child(gtk_widgets::widgetOf(*loader().webView()));
  ASSERT_NE(page, nullptr);
  gtk_widget_grab_focus(page);
  EXPECT_TRUE(RealInput::pressKey(*loader().webView(), "a"));
  EXPECT_TRUE(RealInput::pressKey(*loader().webView(), "Tab"));
  RunLoop::main().runFor(1.0);
  expectNothingGotThrough("keys on the banner");
  EXPECT_GT(refusals(GADContentPolicy::Refusal::NoGesture), 0) << "the page's key handler asked";
}

TEST_F(HostileAdWindowTest, ALandingPageReachesNeitherTheAdPageNorTheDesktop) {
  network->behaviour().hostile = Kind::ReadsTheAdFromALandingPage;
  showFreshAd();
  clickTheAd();
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(runUntil([&] {
    return browser->webView()->currentURL() && browser->webView()->currentURL()->path() == "/landing/hostile";
  }));
  RunLoop::main().runFor(2.0);
  EXPECT_EQ(script(*loader().webView(), "typeof window.readByLanding"), "undefined") << "no script ran in the ad";
  EXPECT_EQ(script(*browser->webView(), "document.getElementById('answers').textContent"), "No answer.");
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(GADViewController::presentedScreenCount(), 1);
  EXPECT_GT(refusals(GADContentPolicy::Refusal::Opener), 0);
  EXPECT_GT(refusals(GADContentPolicy::Refusal::NoGesture), 0);
  report("reads-the-ad-from-a-landing-page");
  giveBack(*browser);
}

TEST_F(HostileAdWindowTest, AThousandTrackingURLsInEachHeaderFetchAtMostTheBoundOnceEach) {
  network->behaviour().hostile = Kind::HugeHeaders;
  const size_t impressions = requests("/zovo/imp"), clicks = requests("/zovo/clk");
  showFreshAd();
  ASSERT_TRUE(runUntil([&] { return requests("/zovo/imp") - impressions == GADContentPolicy::kMaximumTrackingURLs; }));
  clickTheAd();
  auto* webApp = waitForScreenOver<GADWebAppViewController>(mainScreen());
  ASSERT_NE(webApp, nullptr);
  ASSERT_TRUE(runUntil([&] { return requests("/zovo/clk") - clicks == GADContentPolicy::kMaximumTrackingURLs; }));
  RunLoop::main().runFor(1.0);
  EXPECT_EQ(requests("/zovo/imp") - impressions, GADContentPolicy::kMaximumTrackingURLs);
  EXPECT_EQ(requests("/zovo/clk") - clicks, GADContentPolicy::kMaximumTrackingURLs);
  report("huge-headers");
  giveBack(*webApp);
}

// ------------------------------------------------------ page capabilities
// Ads that ask WebKit itself (a file saved, a print dialog, permissions):
// nothing reaches the desktop, with or without the user's click on the ad,
// and the banner goes on.

unsigned toplevelCount() { return g_list_model_get_n_items(gtk_window_get_toplevels()); }

TEST_F(HostileAdWindowTest, AdsAskingWebKitItselfGetNothingAndTheBannerGoesOn) {
  for (const Kind kind : {Kind::DownloadsFiles, Kind::AsksForPermissions, Kind::Prints}) {
    const std::string name = adnet::HostileCreatives::name(kind);
    SCOPED_TRACE(name);
    network->behaviour() = adnet::AdNetwork::Behaviour{};
    showFreshAd();
    RunLoop::main().runFor(0.5);
    const auto files = ScratchHome::savedFiles();
    const unsigned windows = toplevelCount();
    const size_t fetched = requests(adnet::HostileCreatives::kAttachmentPath);
    network->behaviour().hostile = kind;
    showFreshAd();
    events->calls.clear();
    RunLoop::main().runFor(3.0);
    expectNothingGotThrough(name.c_str());
    EXPECT_EQ(toplevelCount(), windows) << "a dialog opened";
    EXPECT_EQ(ScratchHome::savedFiles(), files) << "a file was saved";
    const std::string title = script(*loader().webView(), "document.title");
    switch (kind) {
      case Kind::DownloadsFiles:
        EXPECT_GT(requests(adnet::HostileCreatives::kAttachmentPath), fetched + 1) << "the attack ran";
        break;
      case Kind::AsksForPermissions:
        EXPECT_NE(title.find("notification"), std::string::npos) << "the attack ran: " << title;
        EXPECT_EQ(title.find("granted"), std::string::npos) << title;
        break;
      case Kind::Prints:
        EXPECT_EQ(title.rfind("printed ", 0), 0u) << "the page goes on after each print: " << title;
        break;
      default:
        break;
    }
  }
  network->behaviour() = adnet::AdNetwork::Behaviour{};
  nextRequest();
  EXPECT_EQ(loader().state(), kGADObjectStateAdShown);
}

// The user's click opens one screen (the ad's link, or the first link its
// click handler follows, which may be the file: the browser then saves
// nothing, since the click was the ad's) and lends the ad's own asks
// nothing.
TEST_F(HostileAdWindowTest, AClickOnAnAdThatAsksWebKitItselfOpensItsLinkAndNothingMore) {
  for (const Kind kind : {Kind::DownloadsFiles, Kind::AsksForPermissions, Kind::Prints}) {
    const std::string name = adnet::HostileCreatives::name(kind);
    SCOPED_TRACE(name);
    network->behaviour() = adnet::AdNetwork::Behaviour{};
    network->behaviour().hostile = kind;
    showFreshAd();
    const auto files = ScratchHome::savedFiles();
    const unsigned windows = toplevelCount();
    clickTheAd();
    auto* screen = waitForScreenOver<GADViewController>(mainScreen());
    ASSERT_NE(screen, nullptr);
    RunLoop::main().runFor(1.5);  // the ad goes on asking underneath
    EXPECT_EQ(GADViewController::presentedScreenCount(), 1);
    EXPECT_EQ(toplevelCount(), windows) << "a dialog opened";
    EXPECT_EQ(ScratchHome::savedFiles(), files) << "a file was saved";
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(script(*loader().webView(), "document.title").find("granted"), std::string::npos);
    giveBack(*screen);
  }
}

}  // namespace
