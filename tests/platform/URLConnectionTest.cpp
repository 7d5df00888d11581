#include "platform/URLConnection.h"

#include "adnet/LoopbackServer.h"
#include "platform/RunLoop.h"
#include "tests/support/PlatformTest.h"

using adnet::Answer;
using platform::URL;
using platform::URLConnection;
using platform::URLRequest;

namespace {

class Recorder : public platform::URLConnectionDelegate {
 public:
  std::vector<std::string> events;
  std::string body;
  std::optional<platform::Error> error;
  bool finished = false;
  bool allOnMain = true;
  std::function<bool(const URLRequest&)> allowRedirect = [](const URLRequest&) { return true; };
  std::function<void()> onResponse;

  std::optional<URLRequest> connectionWillSendRequest(URLConnection&, URLRequest request,
                                                      const platform::HTTPResponse* redirect) override {
    note(redirect ? "redirect " + std::to_string(redirect->statusCode()) + " to " + request.url().path()
                  : "send " + request.url().path());
    if (redirect && !allowRedirect(request)) return std::nullopt;
    return request;
  }
  void connectionDidReceiveResponse(URLConnection&, const platform::HTTPResponse& response) override {
    note("response " + std::to_string(response.statusCode()));
    if (onResponse) onResponse();
  }
  void connectionDidReceiveData(URLConnection&, std::span<const std::uint8_t> data) override {
    allOnMain = allOnMain && platform::RunLoop::main().isMainThread();
    body.append(reinterpret_cast<const char*>(data.data()), data.size());
  }
  void connectionDidFinishLoading(URLConnection&) override {
    note("finished");
    finished = true;
  }
  void connectionDidFailWithError(URLConnection&, const platform::Error& e) override {
    note("failed");
    error = e;
  }
  bool ended() const { return finished || error.has_value(); }

 private:
  void note(std::string event) {
    allOnMain = allOnMain && platform::RunLoop::main().isMainThread();
    events.push_back(std::move(event));
  }
};

class URLConnectionTest : public PlatformTest {
 protected:
  URLRequest requestFor(const std::string& path) { return URLRequest(*URL::create(server->url(path))); }
  std::shared_ptr<URLConnection> start(const std::string& path) {
    return URLConnection::start(requestFor(path), &recorder);
  }
  void SetUp() override {
    PlatformTest::SetUp();
    server = std::make_unique<adnet::LoopbackServer>();
  }
  void TearDown() override {
    server.reset();
    PlatformTest::TearDown();
  }
  std::unique_ptr<adnet::LoopbackServer> server;
  Recorder recorder;
};

TEST_F(URLConnectionTest, CallbacksComeInOrderOnTheMainLoopNeverInsideStart) {
  Answer ok;
  ok.body = std::string(200000, 'x');
  server->setAnswer("/a", ok);
  auto connection = start("/a");
  EXPECT_TRUE(recorder.events.empty());
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"send /a", "response 200", "finished"}));
  EXPECT_EQ(recorder.body.size(), 200000u);
  EXPECT_TRUE(recorder.allOnMain);
}

TEST_F(URLConnectionTest, EachRedirectHopIsPutToTheDelegate) {
  server->setAnswer("/one", Answer::redirect(302, "/two"));
  server->setAnswer("/two", Answer::redirect(301, server->url("/three")));
  Answer ok;
  ok.body = "done";
  server->setAnswer("/three", ok);
  auto connection = start("/one");
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"send /one", "redirect 302 to /two", "redirect 301 to /three",
                                                       "response 200", "finished"}));
  EXPECT_EQ(recorder.body, "done");
}

TEST_F(URLConnectionTest, RefusedRedirectStopsQuietly) {
  server->setAnswer("/one", Answer::redirect(302, "/two"));
  recorder.allowRedirect = [](const URLRequest&) { return false; };
  auto connection = start("/one");
  ASSERT_TRUE(runUntil([&] { return recorder.events.size() == 2; }));
  platform::RunLoop::main().runFor(0.1);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"send /one", "redirect 302 to /two"}));
  EXPECT_EQ(server->requestCount("/two"), 0u);
}

TEST_F(URLConnectionTest, RedirectLoopEndsInAFailureAfterBoundedHops) {
  server->setAnswer("/loop", Answer::redirect(302, "/loop"));
  auto connection = start("/loop");
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  ASSERT_TRUE(recorder.error);
  EXPECT_EQ(recorder.error->code, platform::kURLErrorHTTPTooManyRedirects);
  EXPECT_EQ(server->requestCount("/loop"), static_cast<size_t>(URLConnection::kMaximumRedirects) + 1);
}

TEST_F(URLConnectionTest, RefusedConnectionFails) {
  const std::string url = server->url("/x");
  server.reset();  // nobody listens on that port any more
  auto connection = URLConnection::start(URLRequest(*URL::create(url)), &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  ASSERT_TRUE(recorder.error);
  EXPECT_EQ(recorder.error->code, platform::kURLErrorCannotConnectToHost);
}

TEST_F(URLConnectionTest, ConnectionDroppedMidBodyFails) {
  Answer dropped;
  dropped.body = "partial";
  dropped.drop = Answer::Drop::MidBody;
  server->setAnswer("/drop", dropped);
  auto connection = start("/drop");
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  EXPECT_FALSE(recorder.finished);
  ASSERT_TRUE(recorder.error);
  EXPECT_EQ(recorder.error->domain, platform::kURLErrorDomain);
}

TEST_F(URLConnectionTest, CancelledConnectionCallsNothingMore) {
  Answer slow;
  slow.delaySeconds = 0.1;
  server->setAnswer("/slow", slow);
  auto connection = start("/slow");
  ASSERT_TRUE(runUntil([&] { return !recorder.events.empty(); }));
  connection->cancel();
  platform::RunLoop::main().runFor(0.3);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"send /slow"}));
}

TEST_F(URLConnectionTest, DelegateMayDropTheConnectionInsideACallback) {
  server->setAnswer("/a", Answer{});
  std::shared_ptr<URLConnection> connection;
  recorder.onResponse = [&] { connection.reset(); };
  connection = start("/a");
  ASSERT_TRUE(runUntil([&] { return connection == nullptr; }));
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(recorder.events.back(), "response 200");
}

TEST_F(URLConnectionTest, CookiesSetByOneResponseGoWithTheNextRequest) {
  URLConnection::clearCookiesForTesting();
  Answer setter;
  setter.headers.emplace_back("Set-Cookie", "session=abc; Path=/");
  server->setAnswer("/login", setter);
  server->setAnswer("/next", Answer{});
  auto first = start("/login");
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  Recorder second;
  auto connection = URLConnection::start(requestFor("/next"), &second);
  ASSERT_TRUE(runUntil([&] { return second.ended(); }));
  EXPECT_EQ(server->requests().back().header("Cookie"), "session=abc");
}

TEST_F(URLConnectionTest, HeaderFieldsAreSent) {
  server->setAnswer("/h", Answer{});
  auto request = requestFor("/h");
  request.setValueForHTTPHeaderField("Agent/1.0", "User-Agent");
  auto connection = URLConnection::start(request, &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  EXPECT_EQ(server->requests().back().header("user-agent"), "Agent/1.0");
}

}  // namespace
