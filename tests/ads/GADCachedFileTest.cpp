#include "ads/core/GADCachedFile.h"

#include <atomic>
#include <climits>
#include <condition_variable>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>

#include "adnet/LoopbackServer.h"
#include "ads/request/GADNetworkUtilities.h"
#include "platform/FileManager.h"
#include "platform/RunLoop.h"
#include "tests/support/PlatformTest.h"
#include "tests/support/WorkerFolders.h"

using adnet::Answer;
using platform::URL;

namespace {

class Outcomes : public GADCachedFileDelegate {
 public:
  int ended = 0;
  int failed = 0;
  std::optional<platform::Error> lastError;
  bool failedWithoutError = false;
  std::vector<std::string> redirectsAsked;
  std::optional<platform::Error> refuseRedirectsWith;
  std::function<void(GADCachedFile&)> onOutcome;

  void cachedFileDownloadDidEnd(GADCachedFile& file) override {
    ++ended;
    if (onOutcome) onOutcome(file);
  }
  void cachedFileDownloadDidFail(GADCachedFile& file, const platform::Error* error) override {
    ++failed;
    failedWithoutError = error == nullptr;
    if (error) lastError = *error;
    if (onOutcome) onOutcome(file);
  }
  std::optional<platform::Error> cachedFileShouldRedirectToURL(GADCachedFile&, const URL& url) override {
    redirectsAsked.push_back(url.path());
    return refuseRedirectsWith;
  }
  int outcomes() const { return ended + failed; }
};

class GADCachedFileTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    caches = std::filesystem::temp_directory_path() /
             ("cached-file-test-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    removeFolderAfterWorkers(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    server = std::make_unique<adnet::LoopbackServer>();
    GADNetworkUtilities::resetUserAgentForTesting();
  }
  void TearDown() override {
    GADCachedFile::setFileNameHashForTesting(nullptr);
    server.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
    PlatformTest::TearDown();
  }
  std::unique_ptr<GADCachedFile> fileFor(const std::string& path) {
    return std::make_unique<GADCachedFile>(&outcomes, *URL::create(server->url(path)));
  }
  bool fetch(GADCachedFile& file, bool cacheBuster = false) {
    const int before = outcomes.outcomes();
    cacheBuster ? file.validateWithCacheBuster() : file.validate();
    return runUntil([&] { return outcomes.outcomes() > before; });
  }
  static std::string read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::filesystem::path caches;
  std::unique_ptr<adnet::LoopbackServer> server;
  Outcomes outcomes;
  static constexpr std::time_t kModified = 1700000000;  // Tue, 14 Nov 2023 22:13:20 GMT
};

TEST_F(GADCachedFileTest, FirstFetchIsUnconditionalAndTheNextCarriesTheServersDate) {
  Answer script;
  script.body = "function ZOVO_buildAdURL(){}";
  script.lastModified = kModified;
  server->setAnswer("/zovo/sdk-core-v40.js", script);
  auto file = fileFor("/zovo/sdk-core-v40.js");

  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(outcomes.ended, 1);
  EXPECT_FALSE(server->requests()[0].header("If-Modified-Since"));
  EXPECT_EQ(file->content(), "function ZOVO_buildAdURL(){}");
  EXPECT_EQ(file->httpStatusCode(), 200);
  EXPECT_EQ(file->fileModificationDate(), "Tue, 14 Nov 2023 22:13:20 GMT");

  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(server->requests()[1].header("If-Modified-Since"), "Tue, 14 Nov 2023 22:13:20 GMT");
  EXPECT_EQ(file->httpStatusCode(), 304);
  EXPECT_EQ(outcomes.ended, 2) << "a 304 reports the file current";
  EXPECT_EQ(file->content(), "function ZOVO_buildAdURL(){}");
}

TEST_F(GADCachedFileTest, NotModifiedLeavesTheFileUntouched) {
  Answer first;
  first.body = "v1";
  first.lastModified = kModified;
  server->setAnswer("/f", first);
  auto file = fileFor("/f");
  ASSERT_TRUE(fetch(*file));
  const auto path = *file->filePath();
  const auto before = std::filesystem::last_write_time(path);
  const std::string bytes = read(path);
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(file->httpStatusCode(), 304);
  EXPECT_EQ(file->content(), "v1");
  EXPECT_EQ(read(path), bytes);
  EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

TEST_F(GADCachedFileTest, NotFoundFailsWithoutAnErrorAndKeepsTheEarlierFile) {
  Answer ok;
  ok.body = "earlier";
  server->setAnswer("/f", ok);
  auto file = fileFor("/f");
  ASSERT_TRUE(fetch(*file));
  Answer missing;
  missing.status = 404;
  missing.body = "gone";
  server->setAnswer("/f", missing);
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(outcomes.failed, 1);
  EXPECT_TRUE(outcomes.failedWithoutError);
  EXPECT_EQ(file->httpStatusCode(), 404);
  EXPECT_EQ(file->content(), "earlier");
}

TEST_F(GADCachedFileTest, CacheBusterIsOnTheWireButNotInThePath) {
  server->setAnswer("/f", Answer{});
  auto plain = fileFor("/f");
  auto busted = fileFor("/f");
  ASSERT_TRUE(fetch(*busted, true));
  const auto& query = server->requests().back().query;
  ASSERT_TRUE(query);
  EXPECT_EQ(query->rfind("unique=", 0), 0u) << *query;
  EXPECT_GT(std::stod(query->substr(7)), 7e8) << "seconds since 2001";
  EXPECT_EQ(busted->filePath(), plain->filePath());
}

TEST_F(GADCachedFileTest, SecondValidateWhileFetchingStartsNothing) {
  Answer slow;
  slow.delaySeconds = 0.05;
  server->setAnswer("/f", slow);
  auto file = fileFor("/f");
  file->validate();
  file->validate();
  file->validateWithCacheBuster();
  ASSERT_TRUE(runUntil([&] { return outcomes.outcomes() == 1; }));
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(server->requestCount("/f"), 1u);
  EXPECT_EQ(outcomes.outcomes(), 1);
}

TEST_F(GADCachedFileTest, TwoRedirectsAreAskedAndTheLastResponseIsKept) {
  auto first = Answer::redirect(302, "/two");
  first.headers.emplace_back("X-Hop", "1");
  server->setAnswer("/one", first);
  server->setAnswer("/two", Answer::redirect(302, "/three"));
  Answer final;
  final.body = "<html>ad</html>";
  final.headers.emplace_back("X-Zovo-Refresh-Rate", "30");
  server->setAnswer("/three", final);
  auto file = fileFor("/one");
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(outcomes.redirectsAsked, (std::vector<std::string>{"/two", "/three"}));
  EXPECT_EQ(file->httpDestinationURL().absoluteString(), server->url("/three"));
  EXPECT_EQ(platform::headerFieldValue(file->httpHeaders(), "X-Zovo-Refresh-Rate"), "30");
  EXPECT_FALSE(platform::headerFieldValue(file->httpHeaders(), "X-Hop"));
  EXPECT_EQ(file->content(), "<html>ad</html>");
  EXPECT_EQ(file->filePath(), fileFor("/one")->filePath()) << "named after the source URL";
}

TEST_F(GADCachedFileTest, RefusedRedirectFailsWithTheDelegatesError) {
  server->setAnswer("/one", Answer::redirect(302, "/two"));
  outcomes.refuseRedirectsWith = platform::Error{"test", 42, "no thanks"};
  auto file = fileFor("/one");
  ASSERT_TRUE(fetch(*file));
  ASSERT_TRUE(outcomes.lastError);
  EXPECT_EQ(outcomes.lastError->code, 42);
  EXPECT_EQ(server->requestCount("/two"), 0u);
  EXPECT_FALSE(file->isFetching());
}

TEST_F(GADCachedFileTest, BodyThatIsNotUtf8IsStoredButHasNoTextContent) {
  Answer binary;
  binary.body = std::string("\xff\xfe\x00\x01", 4);
  server->setAnswer("/bin", binary);
  auto file = fileFor("/bin");
  ASSERT_TRUE(fetch(*file));
  EXPECT_TRUE(file->hasContent());
  EXPECT_FALSE(file->content());
  EXPECT_TRUE(read(*file->filePath()).ends_with(binary.body));
}

TEST_F(GADCachedFileTest, TransportFailuresReportOnceWithAnErrorAndKeepTheEarlierFile) {
  Answer ok;
  ok.body = "earlier";
  server->setAnswer("/f", ok);
  auto file = fileFor("/f");
  ASSERT_TRUE(fetch(*file));

  Answer dropped;
  dropped.body = "half";
  dropped.drop = Answer::Drop::MidBody;
  server->setAnswer("/f", dropped);
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(outcomes.failed, 1);
  ASSERT_TRUE(outcomes.lastError);

  Answer closed;
  closed.drop = Answer::Drop::BeforeResponse;
  server->setAnswer("/f", closed);
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(outcomes.failed, 2);

  const std::string url = server->url("/f");
  server.reset();
  auto refused = std::make_unique<GADCachedFile>(&outcomes, *URL::create(url));
  ASSERT_TRUE(fetch(*refused));
  EXPECT_EQ(outcomes.failed, 3);
  EXPECT_EQ(outcomes.lastError->code, platform::kURLErrorCannotConnectToHost);
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(outcomes.outcomes(), 4) << "one report per fetch";
  EXPECT_EQ(file->content(), "earlier");
}

TEST_F(GADCachedFileTest, OversizedBodyFailsInsteadOfFillingMemory) {
  Answer huge;
  huge.body = std::string(GADCachedFile::kMaximumBodyBytes + 1, 'a');
  server->setAnswer("/huge", huge);
  auto file = fileFor("/huge");
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(outcomes.failed, 1);
  ASSERT_TRUE(outcomes.lastError);
  EXPECT_EQ(outcomes.lastError->code, -1103);
  EXPECT_FALSE(file->hasContent());
}

TEST_F(GADCachedFileTest, RedirectLoopEndsInAFailure) {
  server->setAnswer("/loop", Answer::redirect(302, "/loop"));
  auto file = fileFor("/loop");
  ASSERT_TRUE(fetch(*file));
  ASSERT_TRUE(outcomes.lastError);
  EXPECT_EQ(outcomes.lastError->code, platform::kURLErrorHTTPTooManyRedirects);
}

TEST_F(GADCachedFileTest, OddHostsStillNameAFileInsideTheCachesDirectory) {
  const std::string hosts[] = {"http://" + std::string(300, 'h') + ".example/x", "http://../x", "http://%2e%2e/x",
                               "http://%2F..%2F..%2Fetc/x", "http://[::1]:8080/x", "http://a%00b/x", "file:///etc/passwd"};
  for (const auto& text : hosts) {
    auto url = URL::create(text);
    if (!url) continue;
    GADCachedFile file(&outcomes, *url);
    auto path = file.filePath();
    ASSERT_TRUE(path) << text;
    const auto relative = path->lexically_normal().lexically_relative(caches);
    EXPECT_FALSE(relative.empty()) << text;
    EXPECT_NE(*relative.begin(), "..") << text << " -> " << *path;
    EXPECT_EQ(std::distance(relative.begin(), relative.end()), 2) << text << " -> " << *path;
  }
}

TEST_F(GADCachedFileTest, UserAgentIsSentOnceKnown) {
  server->setAnswer("/f", Answer{});
  auto file = fileFor("/f");
  ASSERT_TRUE(fetch(*file));
  EXPECT_FALSE(server->requests().back().header("User-Agent"));
  GADNetworkUtilities::setUserAgentString("AdView/1.0");
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(server->requests().back().header("User-Agent"), "AdView/1.0");
  GADNetworkUtilities::resetUserAgentForTesting();
}

TEST_F(GADCachedFileTest, DelegateMayDestroyTheFileInsideItsReport) {
  server->setAnswer("/f", Answer{});
  auto file = fileFor("/f");
  outcomes.onOutcome = [&](GADCachedFile&) { file.reset(); };
  file->validate();
  ASSERT_TRUE(runUntil([&] { return file == nullptr; }));
  EXPECT_EQ(outcomes.outcomes(), 1);
}

TEST_F(GADCachedFileTest, InvalidateDeletesTheFile) {
  server->setAnswer("/f", Answer{});
  auto file = fileFor("/f");
  ASSERT_TRUE(fetch(*file));
  EXPECT_TRUE(file->hasContent());
  file->invalidate();
  EXPECT_FALSE(file->hasContent());
  EXPECT_FALSE(file->fileModificationDate());
}

TEST(GADCachedFileDateTest, HttpDatesRoundTrip) {
  EXPECT_EQ(GADCachedFile::formatHTTPDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(GADCachedFile::parseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
  EXPECT_EQ(GADCachedFile::parseHTTPDate("Sun, 06 Nov 1994 08:49:37 "), 784111777);
  EXPECT_FALSE(GADCachedFile::parseHTTPDate("yesterday"));
  EXPECT_FALSE(GADCachedFile::parseHTTPDate("Sun, 06 Foo 1994 08:49:37"));
}

}  // namespace

namespace {

TEST_F(GADCachedFileTest, NotModifiedWithoutACopyIsAFailure) {
  Answer notModified;
  notModified.status = 304;
  server->setAnswer("/stale", notModified);
  auto file = fileFor("/stale");
  ASSERT_TRUE(fetch(*file));
  EXPECT_EQ(outcomes.ended, 0);
  EXPECT_EQ(outcomes.failed, 1);
  ASSERT_TRUE(outcomes.lastError);
  EXPECT_EQ(outcomes.lastError->domain, kGADCachedFileErrorDomain);
  EXPECT_FALSE(file->hasContent());
}

TEST_F(GADCachedFileTest, URLsSharingAFileNameNeverServeEachOthersBody) {
  GADCachedFile::setFileNameHashForTesting([](const std::string&) { return 0xabcu; });
  Answer alpha;
  alpha.body = "alpha";
  alpha.lastModified = kModified;
  server->setAnswer("/alpha", alpha);
  Answer beta;
  beta.body = "beta";
  server->setAnswer("/beta", beta);
  auto a = fileFor("/alpha");
  auto b = fileFor("/beta");
  ASSERT_EQ(a->filePath(), b->filePath());

  ASSERT_TRUE(fetch(*a));
  EXPECT_EQ(a->content(), "alpha");
  EXPECT_FALSE(b->hasContent()) << "the file is alpha's";
  EXPECT_FALSE(b->content());

  ASSERT_TRUE(fetch(*b));
  EXPECT_FALSE(server->requests().back().header("If-Modified-Since")) << "beta had no copy to revalidate";
  EXPECT_EQ(b->content(), "beta");
  EXPECT_FALSE(a->content()) << "alpha's copy is gone, not replaced by beta's body";

  ASSERT_TRUE(fetch(*a));
  EXPECT_FALSE(server->requests().back().header("If-Modified-Since"));
  EXPECT_EQ(a->content(), "alpha");
  GADCachedFile::setFileNameHashForTesting(nullptr);
}

}  // namespace

namespace {

// The body goes to disk on a worker thread while the main loop turns; the
// fetch ends once it is there. A file let go, or invalidated, meanwhile
// hears nothing, and an invalidated body does not stay on disk.
TEST_F(GADCachedFileTest, TheBodyIsWrittenOffTheMainThreadAndTheFetchEndsOnceItIsOnDisk) {
  Answer ad;
  ad.body = "<p>an ad</p>";
  server->setAnswer("/ad", ad);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> writes{0};
  std::atomic<bool> onMainThread{false};
  platform::FileManager::setBeforeRenameHookForTesting([&] {
    onMainThread = onMainThread || platform::RunLoop::main().isMainThread();
    ++writes;
    released.wait_for(std::chrono::seconds(2));  // a write on the main thread would hold it
  });
  auto file = fileFor("/ad");
  file->validate();
  ASSERT_TRUE(runUntil([&] { return writes > 0; }));
  platform::RunLoop::main().runFor(0.1);  // the loop turns while the disk is held
  EXPECT_FALSE(onMainThread);
  EXPECT_TRUE(file->isFetching());
  EXPECT_EQ(outcomes.outcomes(), 0) << "no end before the body is on disk";
  file->validate();  // one fetch at a time, the write included
  release.set_value();
  ASSERT_TRUE(runUntil([&] { return outcomes.ended == 1; }));
  EXPECT_EQ(file->content(), "<p>an ad</p>");
  EXPECT_EQ(server->requestCount("/ad"), 1u);
  platform::FileManager::setBeforeRenameHookForTesting({});

  // Invalidated while its body is written: no report, no file.
  std::promise<void> second;
  std::shared_future<void> secondReleased = second.get_future().share();
  writes = 0;
  platform::FileManager::setBeforeRenameHookForTesting([&] {
    ++writes;
    secondReleased.wait_for(std::chrono::seconds(2));
  });
  auto other = fileFor("/ad?again");
  other->validate();
  ASSERT_TRUE(runUntil([&] { return writes > 0; }));
  other->invalidate();
  second.set_value();
  const auto path = *other->filePath();
  ASSERT_TRUE(runUntil([&] { return !std::filesystem::exists(path) && writes >= 1; }));
  platform::RunLoop::main().runFor(0.1);
  platform::FileManager::setBeforeRenameHookForTesting({});
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(outcomes.outcomes(), 1);
}

}  // namespace

namespace {

// Holds the first `count` renames of written files (all of them by default)
// on their worker threads, each until the test lets it go; later ones pass.
class RenameGate {
 public:
  explicit RenameGate(int count = INT_MAX) : state_(std::make_shared<State>()) {
    state_->count = count;
    platform::FileManager::setBeforeRenameHookForTesting([state = state_] {
      std::unique_lock lock(state->mutex);
      const int arrival = state->arrived++;
      if (arrival >= state->count) return;
      state->changed.wait_for(lock, std::chrono::seconds(5), [&] { return state->released > arrival; });
    });
  }
  ~RenameGate() {
    releaseAll();
    for (int waited = 0; waited < 500 && platform::RunLoop::workInFlight() > 0; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    platform::FileManager::setBeforeRenameHookForTesting({});
  }
  int arrived() const {
    std::lock_guard lock(state_->mutex);
    return state_->arrived;
  }
  void releaseNext() {
    std::lock_guard lock(state_->mutex);
    ++state_->released;
    state_->changed.notify_all();
  }
  void releaseAll() {
    std::lock_guard lock(state_->mutex);
    state_->released = INT_MAX;
    state_->changed.notify_all();
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0, arrived = 0, released = 0;
  };
  std::shared_ptr<State> state_;
};

// What a cached file shows: its body with its date, or "missing".
std::string view(GADCachedFile& file) {
  if (!file.hasContent()) return "missing";
  return file.content().value_or("(not text)") + " @ " + file.fileModificationDate().value_or("(no date)");
}

// Two banners hold the ad network's script, each its own cached file. While
// one writes a newer body, the other sees the older file whole (body and
// date) or the newer one, at every step of the write; a URL sharing the file
// name sees its own file or none, never the other's.
TEST_F(GADCachedFileTest, EveryStepOfAWriteShowsTheOldFileOrTheNewOneWhole) {
  Answer v1;
  v1.body = "old";
  v1.lastModified = kModified;
  server->setAnswer("/core.js", v1);
  auto reader = fileFor("/core.js");
  ASSERT_TRUE(fetch(*reader));
  const std::string oldView = view(*reader);
  ASSERT_EQ(oldView, "old @ Tue, 14 Nov 2023 22:13:20 GMT");

  Answer v2;
  v2.body = "new";
  v2.lastModified = kModified + 3600;
  server->setAnswer("/core.js", v2);
  const std::string newView = "new @ Tue, 14 Nov 2023 23:13:20 GMT";
  Outcomes writerOutcomes;
  GADCachedFile writer(&writerOutcomes, *URL::create(server->url("/core.js")));
  {
    RenameGate gate;
    writer.validate();
    for (int step = 0; writerOutcomes.outcomes() == 0; ++step) {
      ASSERT_TRUE(runUntil([&] { return gate.arrived() > step || writerOutcomes.outcomes() > 0; }));
      const std::string seen = view(*reader);
      EXPECT_TRUE(seen == oldView || seen == newView) << "step " << step << ": " << seen;
      gate.releaseNext();
    }
  }
  EXPECT_EQ(writerOutcomes.ended, 1);
  EXPECT_EQ(view(*reader), newView);

  GADCachedFile::setFileNameHashForTesting([](const std::string&) { return 0xabcu; });
  Answer other;
  other.body = "other";
  server->setAnswer("/other.js", other);
  auto core = fileFor("/core.js");
  auto sharing = fileFor("/other.js");
  ASSERT_EQ(core->filePath(), sharing->filePath());
  ASSERT_TRUE(fetch(*core));
  ASSERT_EQ(view(*core), newView);
  {
    RenameGate gate;
    const int before = outcomes.outcomes();
    sharing->validate();
    for (int step = 0; outcomes.outcomes() == before; ++step) {
      ASSERT_TRUE(runUntil([&] { return gate.arrived() > step || outcomes.outcomes() > before; }));
      const std::string seen = view(*core);
      EXPECT_TRUE(seen == newView || seen == "missing") << "step " << step << ": " << seen;
      EXPECT_TRUE(sharing->content() == std::nullopt || sharing->content() == "other") << "step " << step;
      gate.releaseNext();
    }
  }
  EXPECT_EQ(sharing->content(), "other");
  EXPECT_EQ(view(*core), "missing");
}

// Writes of one file land in the order they started: a write held back on
// its worker (one cancelled, or another banner's) never lands over a later
// one. A write that a later one of its URL overtook still ends the fetch:
// the file on disk is current.
TEST_F(GADCachedFileTest, AWriteThatStartedEarlierNeverLandsAfterALaterOne) {
  Answer first;
  first.body = "first";
  server->setAnswer("/core.js", first);
  Answer second;
  second.body = "second";
  {
    RenameGate gate(1);
    auto file = fileFor("/core.js");
    file->validate();
    ASSERT_TRUE(runUntil([&] { return gate.arrived() == 1; }));
    file->cancel();
    server->setAnswer("/core.js", second);
    ASSERT_TRUE(fetch(*file));
    EXPECT_EQ(file->content(), "second");
    gate.releaseAll();
    ASSERT_TRUE(runUntil([] { return platform::RunLoop::workInFlight() == 0; }));
    platform::RunLoop::main().runFor(0.05);
    EXPECT_EQ(file->content(), "second") << "the cancelled write landed last";
    EXPECT_EQ(outcomes.outcomes(), 1);
  }

  Answer third;
  third.body = "third";
  Answer fourth;
  fourth.body = "fourth";
  server->setAnswer("/core.js", third);
  Outcomes earlierOutcomes, laterOutcomes;
  GADCachedFile earlier(&earlierOutcomes, *URL::create(server->url("/core.js")));
  GADCachedFile later(&laterOutcomes, *URL::create(server->url("/core.js")));
  RenameGate gate(1);
  earlier.validate();
  ASSERT_TRUE(runUntil([&] { return gate.arrived() == 1; }));
  server->setAnswer("/core.js", fourth);
  later.validate();
  ASSERT_TRUE(runUntil([&] { return laterOutcomes.outcomes() == 1; }));
  EXPECT_EQ(laterOutcomes.ended, 1);
  gate.releaseAll();
  ASSERT_TRUE(runUntil([&] { return earlierOutcomes.outcomes() == 1; }));
  EXPECT_EQ(earlierOutcomes.ended, 1);
  EXPECT_EQ(earlier.content(), "fourth") << "the earlier write landed last";
  EXPECT_EQ(later.content(), "fourth");
}

// A file of the earlier format (the body, with its URL in "<name>.url"
// beside it) is a plain miss: never read as a body, fetched anew without a
// date, whatever its name.
TEST_F(GADCachedFileTest, FilesOfTheEarlierFormatAreAPlainMiss) {
  GADCachedFile::setFileNameHashForTesting([](const std::string&) { return 0xabcu; });
  auto file = fileFor("/core.js");
  const auto folder = file->filePath()->parent_path();
  std::filesystem::create_directories(folder);
  for (const auto& name : {std::string("abc"), file->filePath()->filename().string()}) {
    std::ofstream(folder / name) << "legacy";
    std::ofstream(folder / (name + ".url")) << server->url("/core.js");
  }
  EXPECT_FALSE(file->hasContent());
  EXPECT_FALSE(file->content());
  EXPECT_FALSE(file->fileModificationDate());

  Answer current;
  current.body = "current";
  current.lastModified = kModified;
  server->setAnswer("/core.js", current);
  ASSERT_TRUE(fetch(*file));
  EXPECT_FALSE(server->requests().back().header("If-Modified-Since"));
  EXPECT_EQ(file->content(), "current");
}

// A file invalidated while its body is written leaves nothing of that body,
// and takes nothing that another banner of its URL wrote since.
TEST_F(GADCachedFileTest, InvalidatingDuringAWriteNeverRemovesALaterFileOfAnotherBanner) {
  Answer stale;
  stale.body = "stale";
  server->setAnswer("/core.js", stale);
  Outcomes invalidatedOutcomes;
  GADCachedFile invalidated(&invalidatedOutcomes, *URL::create(server->url("/core.js")));
  auto other = fileFor("/core.js");
  RenameGate gate(1);
  invalidated.validate();
  ASSERT_TRUE(runUntil([&] { return gate.arrived() == 1; }));
  invalidated.invalidate();
  Answer fresh;
  fresh.body = "fresh";
  server->setAnswer("/core.js", fresh);
  ASSERT_TRUE(fetch(*other));
  EXPECT_EQ(other->content(), "fresh");
  gate.releaseAll();
  ASSERT_TRUE(runUntil([] { return platform::RunLoop::workInFlight() == 0; }));
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(other->content(), "fresh") << "the invalidated write took the later file";
  EXPECT_EQ(invalidatedOutcomes.outcomes(), 0);

  // Invalidated again with nothing under way: the file of its URL goes.
  invalidated.invalidate();
  EXPECT_FALSE(other->hasContent());
}

}  // namespace
