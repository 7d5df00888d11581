// Ads that try to freeze or kill the banner, in the application's own
// window with real WebKit: page dialogs, a page process killed while its
// ad is shown or rendering, a script that never returns. Each time the
// banner reports one failure at most and shows the next ad. (The in-app
// browser shows a site's dialogs: PageDialogWindowTest.)
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ads/content/GADContentPolicy.h"
#include "platform/Log.h"
#include "tests/e2e/AppWindowTest.h"

namespace {

using Kind = adnet::HostileCreatives::Kind;

class StuckAdWindowTest : public AppWindowTest {
 protected:
  void SetUp() override {
    AppWindowTest::SetUp();
    GADContentPolicy::resetForTesting();
  }
  int failures() const {
    return static_cast<int>(std::count(events->calls.begin(), events->calls.end(), "didFail"));
  }
  // SIGKILL to the application's page processes, the banner's among them,
  // after a moment for the last one started to finish its launch (one that
  // WebKit is still launching would end the application: WebKit treats
  // that as fatal).
  static int killPageProcesses() {
    RunLoop::main().runFor(0.7);
    int killed = 0;
    for (pid_t pid : ProcessFigures::webProcessIds())
      if (ProcessFigures::ageSeconds(pid) > 0.5) killed += ::kill(pid, SIGKILL) == 0 ? 1 : 0;
    return killed;
  }
  // The banner answers a script: its page process is alive and free.
  bool bannerAnswers() { return PageScript::evaluate(*loader().webView(), "6*7").value_or("") == "42"; }
  // After a failure: the retry, brought forward, shows a plain ad.
  void expectTheNextAd(const char* name) {
    SCOPED_TRACE(name);
    network->behaviour() = adnet::AdNetwork::Behaviour{};
    nextRequest();
    EXPECT_EQ(loader().state(), kGADObjectStateAdShown);
    EXPECT_FALSE(loader().webView()->isHidden());
    EXPECT_TRUE(bannerAnswers());
    expectTheAdIn(screenshotOnceTheAdShows(std::string(name) + ".png"));
  }
};

TEST_F(StuckAdWindowTest, AnAdsDialogsAreDismissedAtOnceAndNothingIsDrawnOverIt) {
  network->behaviour().hostile = Kind::ShowsDialogs;
  showFreshAd();
  events->calls.clear();
  // The page asks after a second; a dialog left open would keep it waiting.
  ASSERT_TRUE(runUntil([&] { return script(*loader().webView(), "document.title").starts_with("answered"); }, 10));
  EXPECT_EQ(script(*loader().webView(), "document.title"), "answered false null") << "cancelled, as a user would";
  EXPECT_GT(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Dialog), 0);
  // The shown ad is all there is in the banner: its own colour, no dialog.
  const auto shot = screenshot("ad-dialogs.png");
  const Place band = placeInWindow(banner());
  const auto hostile = ScreenshotPixels::fromHex("#7a1f1f");
  EXPECT_GT(shot.count(band.x, band.y, band.w, band.h, [&](const auto& c) { return c.near(hostile); }),
            band.w * band.h * 3 / 4)
      << "the ad, with nothing over it";
  EXPECT_EQ(failures(), 0);
  // The refresh leaves the page (which asks to stay) for the next ad.
  expectTheNextAd("after-dialogs");
}

TEST_F(StuckAdWindowTest, ABannerWhosePageProcessIsKilledFailsOnceAndShowsTheNextAd) {
  // Shown: its attempt had its outcome; the blank banner gets the next ad
  // soon. (An ad that lives to its refresh first: process ends of earlier
  // tests, the banner being the run's, count no more towards the backoff.)
  nextRequest();
  showFreshAd();
  events->calls.clear();
  ASSERT_GT(killPageProcesses(), 0);
  ASSERT_TRUE(runUntil([&] { return loader().webView()->isHidden(); }, 10)) << "nothing broken is shown";
  EXPECT_FALSE(loader().hasVisibleAd());
  EXPECT_EQ(loader().scheduledReloadSeconds(), GADObjectPrivate::kProcessEndRetrySeconds);
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(failures(), 0);
  expectTheNextAd("after-kill-shown");

  // Rendering: an image of the ad's holds its load for a few seconds.
  network->behaviour().slowPageSeconds = 5;
  network->behaviour().adBody =
      "<html><body style=\"margin:0;background:#204080\"><img src=\"/landing/slow\" width=1 height=1></body></html>";
  events->calls.clear();
  banner().loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return loader().state() == kGADObjectStateRenderingAd; }));
  RunLoop::main().runFor(0.3);
  ASSERT_GT(killPageProcesses(), 0);
  ASSERT_TRUE(runUntil([&] { return failures() == 1; }, 10));
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(failures(), 1);
  expectTheNextAd("after-kill-rendering");
}

TEST_F(StuckAdWindowTest, ABrowserWhosePageProcessIsKilledClosesWithItsEvents) {
  showFreshAd();
  clickTheAd();
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(runUntil([&] { return browser->view()->isUserInteractionEnabled(); }));
  std::weak_ptr<platform::ViewController> weak = browser->weak_from_this();
  events->calls.clear();
  ASSERT_GT(killPageProcesses(), 0);
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }, 10)) << "the screen closes";
  EXPECT_NE(std::find(events->calls.begin(), events->calls.end(), "willDismiss"), events->calls.end());
  EXPECT_NE(std::find(events->calls.begin(), events->calls.end(), "didDismiss"), events->calls.end());
  EXPECT_EQ(GADViewController::presentedScreenCount(), 0);
  // The banner's page went too: it fails once and comes back.
  expectTheNextAd("after-kill-browser");
}

// A page that floods the message channel, with long URLs too, still gets
// its "close" heard, and the banner's page keeps answering meanwhile.
// (A page holds at most 1,000 frames: the flood stays below.)
TEST_F(StuckAdWindowTest, AFloodOfMessagesDoesNotStarveTheScreensClose) {
  network->behaviour().clickTracking = true;
  showFreshAd();
  clickTheAd();
  auto* webApp = waitForScreenOver<GADWebAppViewController>(mainScreen());
  ASSERT_NE(webApp, nullptr);
  ASSERT_TRUE(runUntil([&] { return webApp->view()->isUserInteractionEnabled() && !webApp->webView()->isLoading(); }));
  std::weak_ptr<platform::ViewController> weak = webApp->weak_from_this();
  script(*webApp->webView(),
         "(function(){var long='gmsg://ads.example.test/log?string='+'a'.repeat(200000);"
         "for(var i=0;i<900;i++){var f=document.createElement('iframe');f.style.display='none';"
         "f.src=i%10==0?long:'gmsg://ads.example.test/log?string=flood'+i;document.body.appendChild(f);}"
         "var c=document.createElement('iframe');c.src='gmsg://ads.example.test/close';document.body.appendChild(c);"
         "})(); 1");
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }, 20)) << "the screen's close was heard";
  EXPECT_GT(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::MessageRate), 0);
  EXPECT_TRUE(bannerAnswers());
}

TEST_F(StuckAdWindowTest, AnAdThatNeverReturnsHasItsProcessEndedAndTheNextAdShows) {
  network->behaviour().hostile = Kind::HangsItsPage;
  showFreshAd();
  events->calls.clear();
  ASSERT_TRUE(runUntil([&] { return loader().webView()->isHidden(); }, 20)) << "the hung page is found and ended";
  EXPECT_EQ(failures(), 0) << "the shown ad's attempt had its outcome";
  expectTheNextAd("after-hang");
}

// A machine busy on every core starves the banner's page process, not the
// page: for a minute beside a busy loop per core, no page is taken for a
// hung one and ended, and the ads keep coming on their schedule.
TEST_F(StuckAdWindowTest, OnAMachineBusyOnEveryCoreNoPageIsEndedAndTheAdsKeepComing) {
  std::vector<std::string> lines;
  platform::setLogSinkForTesting([&](const std::string& line) {
    lines.push_back(line);
    std::fprintf(stderr, "%s\n", line.c_str());
  });
  network->behaviour().refreshRate = "15";
  showFreshAd();
  nextRequest();  // the interval the server named is the schedule now
  std::vector<pid_t> busy;
  const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
  for (long core = 0; core < cores; ++core) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::alarm(120);  // never outlives a test run gone wrong
      for (;;) asm volatile("" ::: "memory");
    }
    if (child > 0) busy.push_back(child);
  }
  ASSERT_EQ(busy.size(), static_cast<size_t>(cores));
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto lastAd = start;
  double longestGap = 0;
  int ads = 0;
  for (int seen = events->received; Clock::now() - start < std::chrono::seconds(60);) {
    RunLoop::main().runFor(0.1);
    if (events->received == seen) continue;
    seen = events->received;
    ++ads;
    longestGap = std::max(longestGap, std::chrono::duration<double>(Clock::now() - lastAd).count());
    lastAd = Clock::now();
  }
  longestGap = std::max(longestGap, std::chrono::duration<double>(Clock::now() - lastAd).count());
  for (pid_t child : busy) ::kill(child, SIGKILL);
  for (pid_t child : busy) ::waitpid(child, nullptr, 0);
  platform::setLogSinkForTesting({});

  const auto ended = std::count_if(lines.begin(), lines.end(),
                                   [](const std::string& line) { return line.find("process") != std::string::npos; });
  std::printf("busy machine, %ld cores for 60 s: pages ended %ld, ads shown %d, longest gap between ads %.1f s\n",
              cores, static_cast<long>(ended), ads, longestGap);
  EXPECT_EQ(ended, 0) << "no page's process was ended or lost";
  EXPECT_EQ(failures(), 0);
  EXPECT_GE(ads, 3) << "an ad every 15 s, each in well under its 20 s";
  EXPECT_LE(longestGap, GADObjectPrivate::kMinimumRefreshSeconds + GADObjectPrivate::kAttemptTimeoutSeconds);
}

}  // namespace
