// Heavy ads in the application's own window with real WebKit: an ad that
// keeps its page busy, one that downloads without end, and one that grows
// its memory. The first two are unloaded by the banner's bounds and the
// next ad is asked for at once; the third has its page process ended by
// WebKit at the memory limit, and the banner fails once and shows the next.
#include "ads/core/GADHeavyAdGuard.h"
#include "platform/Log.h"
#include "tests/e2e/AppWindowTest.h"

namespace {

using Kind = adnet::HostileCreatives::Kind;

class HeavyAdWindowTest : public AppWindowTest {
 protected:
  void SetUp() override {
    AppWindowTest::SetUp();
    platform::setLogSinkForTesting([this](const std::string& line) { lines.push_back(line); });
  }
  void TearDown() override {
    GADHeavyAdGuard::setBoundsForTesting(std::nullopt);
    platform::setLogSinkForTesting({});
    AppWindowTest::TearDown();
  }
  int failures() const {
    return static_cast<int>(std::count(events->calls.begin(), events->calls.end(), "didFail"));
  }
  int linesWith(const std::string& text) const {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const std::string& line) { return line.find(text) != std::string::npos; }));
  }
  // Shows the heavy creative, then serves plain ads again.
  void showHeavyAd(Kind kind) {
    network->behaviour().hostile = kind;
    showFreshAd();
    network->behaviour() = adnet::AdNetwork::Behaviour{};
    events->calls.clear();
    lines.clear();
    unloadsBefore = loader().heavyAdUnloadCount();
  }
  // Heavy ads the banner has unloaded since the test's one showed (the
  // banner, and its count, are the window's for the whole run).
  int unloads() { return loader().heavyAdUnloadCount() - unloadsBefore; }
  // After an unload: the next ad was asked for at once (long before the
  // 30-second refresh) and shows, with no failure reported.
  void expectTheNextAdAtOnce(size_t requestsBefore, int receivedBefore, const std::string& name) {
    EXPECT_TRUE(runUntil([&] { return network->adRequests().size() > requestsBefore; }, 10));
    EXPECT_TRUE(runUntil([&] { return events->received > receivedBefore; }, 20));
    EXPECT_EQ(loader().state(), kGADObjectStateAdShown);
    EXPECT_FALSE(loader().webView()->isHidden());
    EXPECT_EQ(failures(), 0);
    expectTheAdIn(screenshotOnceTheAdShows(name));
  }

  std::vector<std::string> lines;
  int unloadsBefore = 0;
};

// The machine that runs the tests is shared: a page busy 90% of the time
// may get a third of a core. The window is held to 3 s of CPU in 30 here
// (the bounds themselves are the headless tests'); the measuring, the
// unloading and the next ad are what this shows.
TEST_F(HeavyAdWindowTest, AnAdThatBurnsCPUIsUnloadedAndTheNextAdComesAtOnce) {
  GADHeavyAdGuard::Bounds bounds;
  bounds.cpuSecondsInWindow = 3;
  GADHeavyAdGuard::setBoundsForTesting(bounds);
  showHeavyAd(Kind::BurnsCPU);
  ASSERT_NE(script(*loader().webView(), "typeof window.burnt"), "undefined") << "the burning page is up";
  const size_t requests = network->adRequests().size();
  const int received = events->received;
  ASSERT_TRUE(runUntil([&] { return unloads() == 1; }, 60));
  EXPECT_TRUE(loader().webView()->isHidden()) << "nothing of it is shown";
  EXPECT_EQ(linesWith("Unloaded a heavy ad (CPU in a window)"), 1);
  expectTheNextAdAtOnce(requests, received, "after-burns-cpu.png");
  EXPECT_EQ(script(*loader().webView(), "typeof window.burnt"), "undefined") << "the burning page has gone";
  EXPECT_EQ(unloads(), 1);
  EXPECT_EQ(linesWith("Unloaded a heavy ad"), 1);
}

TEST_F(HeavyAdWindowTest, AnAdThatDownloadsWithoutEndIsUnloadedAndTheNextAdComesAtOnce) {
  showHeavyAd(Kind::DownloadsWithoutEnd);
  const size_t requests = network->adRequests().size();
  const int received = events->received;
  ASSERT_TRUE(runUntil([&] { return unloads() == 1; }, 60));
  EXPECT_EQ(linesWith("Unloaded a heavy ad (network)"), 1);
  // Past 4 MiB: four 1 MiB images and the page itself. It was
  // stopped within a few more (the bytes are checked as they come; read
  // once a second, it had fetched more than a hundred).
  EXPECT_GE(network->requestCount("/zovo/blob"), 4u);
  EXPECT_LE(network->requestCount("/zovo/blob"), 16u);
  expectTheNextAdAtOnce(requests, received, "after-downloads-without-end.png");
  // The emptied page asks for nothing more.
  const size_t fetched = network->requestCount("/zovo/blob");
  RunLoop::main().runFor(1.0);
  EXPECT_EQ(network->requestCount("/zovo/blob"), fetched);
}

// The shown ad's attempt had its outcome: its process ending is no
// failure, and the blank banner gets the next ad soon.
TEST_F(HeavyAdWindowTest, AnAdThatGrowsItsMemoryHasItsProcessEndedAndTheNextAdComesSoon) {
  // An ad that lives to its refresh first: process ends of earlier tests
  // (the banner is the run's) count no more towards the backoff.
  nextRequest();
  showHeavyAd(Kind::GrowsItsMemory);
  const size_t requests = network->adRequests().size();
  ASSERT_TRUE(runUntil([&] { return linesWith("A page's process passed its memory limit.") == 1; }, 120))
      << "WebKit ends the process past its limit";
  EXPECT_TRUE(loader().webView()->isHidden());
  EXPECT_FALSE(loader().hasVisibleAd());
  EXPECT_EQ(unloads(), 0) << "WebKit's bound, not the banner's";
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(failures(), 0);
  EXPECT_EQ(loader().scheduledReloadSeconds(), GADObjectPrivate::kProcessEndRetrySeconds);
  EXPECT_EQ(network->adRequests().size(), requests);
  nextRequest();
  EXPECT_EQ(loader().state(), kGADObjectStateAdShown);
  EXPECT_FALSE(loader().webView()->isHidden());
  EXPECT_EQ(script(*loader().webView(), "6*7"), "42") << "a new process answers";
  expectTheAdIn(screenshotOnceTheAdShows("after-grows-its-memory.png"));
}

}  // namespace
