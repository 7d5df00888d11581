#include "ads/request/GADStatistics.h"

#include <climits>
#include <cmath>
#include <fstream>

#include "ads/request/GADStatisticsCore.h"
#include "ads/request/GADTiming.h"
#include "ads/request/GADTimingManager.h"

#include "ads/request/GADParameterKeys.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/UserDefaults.h"
#include "tests/support/AdsTest.h"

using platform::Value;

namespace {

class GADStatisticsTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    platform::Clock::setMonotonicForTesting([this] { return clock; });
  }
  GADStatistics& stats() { return GADStatistics::sharedStatistics(); }
  std::string text(const platform::Dictionary& d, const char* key) {
    const Value* v = d.find(key);
    if (!v) return "<absent>";
    return v->isString() ? *v->asString() : v->description();
  }
  double clock = 1000.0;
};

TEST_F(GADStatisticsTest, TimingElapsedIsTruncatedAndFixedOnceEnded) {
  GADTiming timing("x");
  EXPECT_EQ(timing.elapsedMilliseconds(), 0u);
  timing.start();
  clock += 1.5007;
  EXPECT_EQ(timing.elapsedMilliseconds(), 1500u);
  timing.end();
  clock += 10;
  EXPECT_EQ(timing.elapsedMillisecondsString(), "1500");
  EXPECT_FALSE(timing.isActive());
}

TEST_F(GADStatisticsTest, TimingRecordRoundTripsWithUserData) {
  GADTiming timing("pcl");
  timing.start();
  const Value ai("ABC");
  timing.setValueForKey(&ai, "pai");
  timing.setValueForKey(nullptr, "ignored");
  auto copy = timing.copy();
  EXPECT_EQ(copy->dictionaryRepresentation(), timing.dictionaryRepresentation());
  EXPECT_FALSE(copy->keysAndValues().contains("ignored"));
}

TEST_F(GADStatisticsTest, ClickThenRequestReportsClickAndPreClickLatencies) {
  stats().startTimingNamed(kGADParameterPriorPreClickLatency);  // the ad was shown
  clock += 2.0;
  const auto url = *platform::URL::create("http://ads.example/click?ai=ABC==&x=1");
  const auto opened = stats().urlForClick(url);
  EXPECT_NE(opened.absoluteString().find("&sg="), std::string::npos) << "the click signal is appended";
  EXPECT_TRUE(stats().isTimingClick());
  clock += 0.75;
  const auto report = stats().parameters();
  EXPECT_EQ(text(report, kGADParameterPriorPreClickLatency), "2000");
  EXPECT_EQ(text(report, kGADParameterPriorClickLatency), "750") << "the time so far";
  EXPECT_EQ(text(report, kGADParameterPriorClickString), "ABC");
  EXPECT_EQ(text(report, kGADParameterPriorClickCount), "1");
  EXPECT_FALSE(report.contains("date")) << "the click's date is never reported";
  EXPECT_FALSE(stats().timingNamed(kGADParameterPriorClickLatency)) << "reported timings are removed";
  EXPECT_EQ(text(stats().parameters(), kGADParameterPriorClickCount), "<absent>") << "reset after the report";
}

TEST_F(GADStatisticsTest, NoClickMeansNoPreClickLatency) {
  stats().startTimingNamed(kGADParameterPriorPreClickLatency);
  clock += 1;
  EXPECT_FALSE(stats().parameters().contains(kGADParameterPriorPreClickLatency));
}

TEST_F(GADStatisticsTest, MessageURLsAndBlankAreNotClicks) {
  for (const char* text : {"gmsg://ads.example.test/open?u=x", "vaver://launch?url=x", "about:blank"}) {
    const auto url = *platform::URL::create(text);
    EXPECT_EQ(stats().urlForClick(url), url);
  }
  EXPECT_FALSE(stats().timingNamed(kGADParameterPriorClickLatency));
}

TEST_F(GADStatisticsTest, MessageSchemeIsComparedExactly) {
  const auto shouting = *platform::URL::create("GMSG://x/click");
  stats().urlForClick(shouting);
  EXPECT_TRUE(stats().timingNamed(kGADParameterPriorClickLatency)) << "\"GMSG\" is not the message scheme";
  EXPECT_EQ(text(stats().parameters(), kGADParameterPriorClickCount), "1");
}

TEST_F(GADStatisticsTest, CountersFlagsAndTheirResets) {
  for (int i = 0; i < 3; ++i) stats().incrementPageNavigationCount();
  stats().incrementSSLPageNavigationCount();
  stats().setBreakOutToSafari();
  stats().setAppOpenInterstitialNoFill();
  auto first = stats().parameters();
  EXPECT_EQ(*first.find(kGADParameterPriorLandingPageNavCount), Value(3));
  EXPECT_EQ(*first.find(kGADParameterPriorLandingPageSSLNavCount), Value(1));
  EXPECT_EQ(*first.find(kGADParameterPriorClickBreakOut), Value(1));
  EXPECT_EQ(*first.find(kGADParameterAppOpenInterstitialNoFill), Value(1));
  auto second = stats().parameters();
  for (const char* key : {kGADParameterPriorLandingPageNavCount, kGADParameterPriorLandingPageSSLNavCount,
                          kGADParameterPriorClickBreakOut, kGADParameterAppOpenInterstitialNoFill})
    EXPECT_FALSE(second.contains(key)) << key;
}

TEST_F(GADStatisticsTest, TimeSinceFirstRequestSurvivesEveryReport) {
  stats().startTimingNamed(kGADParameterTimeSinceFirstRequest);
  clock += 1;
  EXPECT_EQ(text(stats().parameters(), kGADParameterTimeSinceFirstRequest), "1000");
  clock += 1;
  EXPECT_EQ(text(stats().parameters(), kGADParameterTimeSinceFirstRequest), "2000");
}

TEST_F(GADStatisticsTest, RequestCountIsReportedAndKept) {
  EXPECT_EQ(stats().incrementAdRequestCount(), 1);
  EXPECT_EQ(stats().incrementAdRequestCount(), 2);
  EXPECT_EQ(*stats().parameters().find(kGADParameterTotalAdRequests), Value(2));
  EXPECT_EQ(*stats().parameters().find(kGADParameterTotalAdRequests), Value(2));
}

TEST_F(GADStatisticsTest, BackgroundedClickReportsTheClickAgeAsANumber) {
  double now = 5000;
  platform::Clock::setNowForTesting([&] { return now; });
  stats().urlForClick(*platform::URL::create("http://ads.example/c"));
  stats().setClickBackgroundedApp();
  now += 4.25;
  const auto report = stats().parameters();
  EXPECT_EQ(*report.find(kGADParameterPriorClickLatency), Value(4250));
  EXPECT_EQ(*report.find(kGADParameterPriorClickBackgroundedApp), Value(1));
}

TEST_F(GADStatisticsTest, ClickTrackingURLGivesTheImpressionTicket) {
  stats().urlForClick(*platform::URL::create("http://ads.example/c"));
  stats().addClickTrackingURL(*platform::URL::create("http://127.0.0.1/abc"));  // path too short
  EXPECT_FALSE(stats().timingNamed(kGADParameterPriorClickLatency)->valueForKey("pit"));
  stats().addClickTrackingURL(*platform::URL::create("http://elsewhere.example/pagead/ticket"));
  EXPECT_FALSE(stats().timingNamed(kGADParameterPriorClickLatency)->valueForKey("pit"));
  stats().addClickTrackingURL(*platform::URL::create("http://127.0.0.1/aclk/ticket-42"));
  EXPECT_EQ(text(stats().parameters(), kGADParameterPriorImpressionTicketString), "k/ticket-42");
}

TEST_F(GADStatisticsTest, TypedWritersIgnoreValuesOfTheWrongType) {
  GADStatisticsCore store("typed");
  store.setNumberForKey(Value("text"), "n");
  EXPECT_EQ(store.numberForKey("n"), nullptr);
  store.setStringForKey(Value(3), "s");
  EXPECT_EQ(store.stringForKey("s"), nullptr);
  store.setNumberForKey(Value(3), "n");
  EXPECT_EQ(store.addValueNumberForKey(4, "n"), 7);
}

TEST_F(GADStatisticsTest, StoredNumbersOutOfRangeCountAsAbsent) {
  GADStatisticsCore store("ranges");
  store.setNumberForKey(Value(static_cast<long long>(INT64_MAX)), "max");
  EXPECT_EQ(store.addValueNumberForKey(1, "max"), 1) << "no overflow: the stored count is no count";
  store.setNumberForKey(Value(1e300), "huge");
  EXPECT_EQ(store.addValueNumberForKey(1, "huge"), 1);
  store.setNumberForKey(Value(-1e300), "tiny");
  EXPECT_EQ(store.addValueNumberForKey(2, "tiny"), 2);
  store.setNumberForKey(Value(std::nan("")), "nan");
  EXPECT_EQ(store.addValueNumberForKey(3, "nan"), 3);
  store.setNumberForKey(Value(41.9), "real");
  EXPECT_EQ(store.addValueNumberForKey(1, "real"), 42);
}

// Read back after the machine restarted (another boot, or, in a record
// that names none, a value past the present clock): an ended interval
// keeps its length, a running one starts again. Of this boot, the values
// stand as they are.
TEST_F(GADStatisticsTest, TimingsReadAfterARestartKeepTheirLengthOrStartAgain) {
  platform::Clock::setBootIdentifierForTesting("boot-two");
  auto read = [](const char* category, double start, double end, std::optional<std::string> boot) {
    platform::Dictionary record{{kGADTimingCategoryKey, category}, {kGADTimingStartKey, start}, {kGADTimingEndKey, end}};
    if (boot) record.set(kGADTimingBootKey, *boot);
    return GADTiming::createWithDictionaryRepresentation(record);
  };
  // Another boot's ended "prl" of 350 ms, its end below the present clock.
  auto ended = read("prl", 100.0, 100.35, "boot-one");
  ASSERT_NE(ended, nullptr);
  EXPECT_FALSE(ended->isActive());
  EXPECT_EQ(ended->elapsedMilliseconds(), 350u);
  clock += 30;
  EXPECT_EQ(ended->elapsedMilliseconds(), 350u) << "it stays ended";
  // Another boot's ended one whose end is past the present clock.
  auto late = read("pcl", clock + 9, clock + 10, "boot-one");
  EXPECT_FALSE(late->isActive());
  EXPECT_EQ(late->elapsedMilliseconds(), 1000u);
  // Another boot's running one, with a start below the clock: it starts again.
  auto running = read("ptime", clock - 500, 0, "boot-one");
  EXPECT_TRUE(running->isActive());
  EXPECT_EQ(running->startSeconds(), clock);
  clock += 2;
  EXPECT_EQ(running->elapsedMilliseconds(), 2000u);
  // This boot's: as they were.
  auto mine = read("ptime", clock - 5, 0, "boot-two");
  EXPECT_EQ(mine->elapsedMilliseconds(), 5000u);
  // No boot named: a start past the clock can only be another boot's.
  auto old = read("ptime", clock + 5000, 0, std::nullopt);
  EXPECT_EQ(old->startSeconds(), clock);
  auto oldEnded = read("pcl", clock - 1, clock + 9, std::nullopt);
  EXPECT_EQ(oldEnded->elapsedMilliseconds(), 10000u) << "ended, with its length";
  // What is written names this boot, and reads back unchanged.
  auto copy = GADTiming::createWithDictionaryRepresentation(mine->dictionaryRepresentation());
  EXPECT_EQ(copy->startSeconds(), mine->startSeconds());
  EXPECT_EQ(*mine->dictionaryRepresentation().find(kGADTimingBootKey)->asString(), "boot-two");
  platform::Clock::setBootIdentifierForTesting(std::nullopt);
}

class PersistentStatisticsTest : public GADStatisticsTest {
 protected:
  void SetUp() override {
    GADStatisticsTest::SetUp();
    file = std::filesystem::temp_directory_path() / ("prefs-" + std::to_string(getpid())) / "preferences.plist";
    std::filesystem::remove_all(file.parent_path());
    useFile();
  }
  void TearDown() override {
    std::filesystem::remove_all(file.parent_path());
    GADStatisticsTest::TearDown();
  }
  // A new store on the same file: what the next run of the process sees.
  void useFile() { platform::UserDefaults::setStandardForTesting(std::make_shared<platform::UserDefaults>(file)); }
  std::filesystem::path file;
};

TEST_F(PersistentStatisticsTest, TimingsAreSavedAtTerminationAndReadByTheNextRun) {
  stats().startTimingNamed(kGADParameterTimeSinceFirstRequest);
  stats().incrementAdRequestCount();
  clock += 3;
  platform::Application::shared().willTerminate();
  // What is on disk now, read without the live store saving anything first.
  const platform::UserDefaults onDisk(file);
  const platform::Value* timings = onDisk.objectForKey("rezido_timing_shared");
  ASSERT_TRUE(timings && timings->isDictionary());
  EXPECT_TRUE(timings->asDictionary()->contains(kGADParameterTimeSinceFirstRequest));
  EXPECT_EQ(onDisk.objectForKey("rezido_stats_shared"), nullptr) << "counters are not written at termination";
  GADStatistics::releaseSharedStatistics();
  useFile();
  auto ptime = stats().timingNamed(kGADParameterTimeSinceFirstRequest);
  ASSERT_NE(ptime, nullptr);
  EXPECT_EQ(ptime->startSeconds(), 1000.0);
  EXPECT_EQ(ptime->elapsedMilliseconds(), 3000u);
}

// A damaged file may file a timing under another category's key: each
// category still has one timing, the record's own.
TEST_F(PersistentStatisticsTest, ATimingFiledUnderAnotherKeyGivesNoSecondOfItsCategory) {
  auto record = [&](const char* category, double start) {
    return platform::Value(platform::Dictionary{
        {kGADTimingCategoryKey, category}, {kGADTimingStartKey, start}, {kGADTimingEndKey, 0.0}});
  };
  GADTimingManager manager("damaged");
  platform::UserDefaults::standard().setObjectForKey(
      platform::Value(platform::Dictionary{{"ptime", record("ptime", 10)}, {"prl", record("ptime", 20)}}),
      manager.userDefaultsKey());
  manager.loadPersistentTimings();
  ASSERT_EQ(manager.timings().size(), 1u);
  EXPECT_EQ(manager.timings()[0]->category(), "ptime");
}

TEST_F(PersistentStatisticsTest, CorruptFileReadsAsEmptyWithOneLogLineAndIsReplaced) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "<?xml version=\"1.0\"?><plist><dict><key>rezido_timing_shared</key><dict>";
  useFile();
  EXPECT_EQ(logLines().size(), 1u);
  EXPECT_FALSE(stats().timingNamed(kGADParameterTimeSinceFirstRequest));
  stats().startTimingNamed(kGADParameterTimeSinceFirstRequest);
  stats().synchronize();
  GADStatistics::releaseSharedStatistics();
  useFile();
  EXPECT_EQ(logLines().size(), 1u) << "the next save replaced the broken file";
  EXPECT_TRUE(stats().timingNamed(kGADParameterTimeSinceFirstRequest));
}

}  // namespace
