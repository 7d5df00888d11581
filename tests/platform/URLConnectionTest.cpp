#include "platform/URLConnection.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "platform/RunLoop.h"
#include "tests/support/CompressedText.h"
#include "tests/support/LoopbackConnectProxy.h"
#include "tests/support/LoopbackTLSServer.h"
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
  std::optional<platform::HTTPResponse> response;
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
    this->response = response;
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

// Connections are kept alive per host: one after another, ten fetches
// share one.
TEST_F(URLConnectionTest, TenFetchesToOneHostUseOneConnection) {
  Answer ok;
  ok.body = "pixel";
  server->setAnswer("/imp", ok);
  for (int i = 0; i < 10; ++i) {
    Recorder each;
    auto connection = URLConnection::start(requestFor("/imp"), &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    ASSERT_TRUE(each.finished);
    EXPECT_EQ(each.body, "pixel");
  }
  EXPECT_EQ(server->requestCount("/imp"), 10u);
  EXPECT_EQ(server->connectionCount(), 1u);
}

// A redirect's hop reads its (short) body to the end rather than closing
// its connection: three fetches through three redirects each share one.
TEST_F(URLConnectionTest, RedirectHopsKeepTheirConnection) {
  for (int hop = 1; hop <= 3; ++hop) {
    Answer moved;
    moved.status = 302;
    moved.headers = {{"Location", hop < 3 ? "/hop" + std::to_string(hop + 1) : "/imp"}};
    moved.body = "moved";
    server->setAnswer("/hop" + std::to_string(hop), moved);
  }
  Answer ok;
  ok.body = "pixel";
  server->setAnswer("/imp", ok);
  for (int i = 0; i < 3; ++i) {
    Recorder each;
    auto connection = URLConnection::start(requestFor("/hop1"), &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    ASSERT_TRUE(each.finished);
    EXPECT_EQ(each.body, "pixel") << "nothing of the hops' bodies";
  }
  EXPECT_EQ(server->requestCount("/imp"), 3u);
  EXPECT_EQ(server->connectionCount(), 1u);
}

// A conditional request's precondition is about its first resource: the
// hops of a redirect ask without it.
TEST_F(URLConnectionTest, ARedirectsNextHopCarriesNoPreconditionOfTheFirst) {
  Answer moved;
  moved.status = 302;
  moved.headers = {{"Location", "/imp"}};
  server->setAnswer("/moved", moved);
  server->setAnswer("/imp", Answer{});
  auto request = requestFor("/moved");
  request.setValueForHTTPHeaderField("Sat, 01 Jan 2026 00:00:00 GMT", "If-Modified-Since");
  request.setValueForHTTPHeaderField("\"v1\"", "If-None-Match");
  auto connection = URLConnection::start(request, &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  ASSERT_EQ(server->requests().size(), 2u);
  EXPECT_EQ(server->requests()[0].header("If-Modified-Since"), "Sat, 01 Jan 2026 00:00:00 GMT");
  EXPECT_FALSE(server->requests()[1].header("If-Modified-Since"));
  EXPECT_FALSE(server->requests()[1].header("If-None-Match"));
}

// A Location with a raw space (or another character a URL never holds as
// written) is followed escaped, as browsers do, not refused.
TEST_F(URLConnectionTest, ARedirectToALocationWithARawSpaceIsFollowedEscaped) {
  Answer moved;
  moved.status = 302;
  moved.headers = {{"Location", "/landing page?q=a b"}};
  server->setAnswer("/moved", moved);
  Answer ok;
  ok.body = "landed";
  server->setAnswer("/landing page", ok);  // the server reads the path unescaped
  auto connection = URLConnection::start(requestFor("/moved"), &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  ASSERT_TRUE(recorder.finished) << (recorder.error ? recorder.error->message : "");
  EXPECT_EQ(recorder.body, "landed");
  EXPECT_EQ(server->requests().back().query.value_or(""), "q=a%20b");
}

// Over TLS, where the server offers HTTP/2, fetches go by it and share one
// connection; a certificate nobody vouches for is refused.
TEST_F(URLConnectionTest, HTTPSGoesByHTTP2OnOneConnectionAndItsCertificateIsChecked) {
  LoopbackTLSServer tls;
  ASSERT_EQ(tls.problem(), "");
  auto untrusted = URLConnection::start(URLRequest(*URL::create(tls.url("/first"))), &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  ASSERT_TRUE(recorder.error) << "a certificate of no known authority was taken";
  EXPECT_EQ(recorder.error->code, platform::kURLErrorSecureConnectionFailed);

  URLConnection::trustCertificatesForTesting(tls.certificate());
  std::vector<std::string> connections;
  for (int i = 0; i < 3; ++i) {
    Recorder each;
    auto connection = URLConnection::start(URLRequest(*URL::create(tls.url("/imp"))), &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    ASSERT_TRUE(each.finished) << (each.error ? each.error->message : "");
    EXPECT_EQ(each.body, "hello");
    EXPECT_EQ(each.response->valueForHeaderField("X-Protocol"), "HTTP/2.0");
    connections.push_back(each.response->valueForHeaderField("X-Connection").value_or("none"));
  }
  // HTTP/2 names its header fields in lower case: a redirect is one still.
  Recorder redirected;
  auto hop = URLConnection::start(URLRequest(*URL::create(tls.url("/redirect"))), &redirected);
  ASSERT_TRUE(runUntil([&] { return redirected.ended(); }));
  EXPECT_EQ(redirected.events, (std::vector<std::string>{"send /redirect", "redirect 302 to /imp", "response 200",
                                                          "finished"}));
  EXPECT_EQ(redirected.body, "hello");
  URLConnection::trustCertificatesForTesting(std::nullopt);
  EXPECT_EQ(connections, std::vector<std::string>(3, connections[0])) << "one connection for all three";
}

// Fetches started together to one HTTP/2 host share one connection: each
// waits for the first one's rather than opening its own.
TEST_F(URLConnectionTest, ConcurrentHTTPSFetchesShareOneHTTP2Connection) {
  LoopbackTLSServer tls;
  ASSERT_EQ(tls.problem(), "");
  URLConnection::trustCertificatesForTesting(tls.certificate());
  std::vector<std::unique_ptr<Recorder>> recorders;
  std::vector<std::shared_ptr<URLConnection>> connections;
  for (int i = 0; i < 8; ++i) {
    recorders.push_back(std::make_unique<Recorder>());
    connections.push_back(URLConnection::start(URLRequest(*URL::create(tls.url("/imp"))), recorders.back().get()));
  }
  ASSERT_TRUE(runUntil([&] {
    return std::all_of(recorders.begin(), recorders.end(), [](const auto& r) { return r->ended(); });
  }));
  URLConnection::trustCertificatesForTesting(std::nullopt);
  std::set<std::string> used;
  for (const auto& r : recorders) {
    ASSERT_TRUE(r->finished);
    used.insert(r->response->valueForHeaderField("X-Connection").value_or("none"));
  }
  EXPECT_EQ(used.size(), 1u) << used.size() << " connections for 8 fetches";
}

// Through a proxy, the proxy's own answer to CONNECT ("200 Connection
// established") is no answer of the server's: what the client hears is the
// server's status and fields, a redirect followed as a redirect.
TEST_F(URLConnectionTest, ThroughAProxyOnlyTheServersAnswerIsHeard) {
  LoopbackTLSServer tls;
  ASSERT_EQ(tls.problem(), "");
  LoopbackConnectProxy proxy;
  URLConnection::trustCertificatesForTesting(tls.certificate());
  URLConnection::useProxyForTesting(proxy.url());
  Recorder redirected;
  auto hop = URLConnection::start(URLRequest(*URL::create(tls.url("/redirect"))), &redirected);
  ASSERT_TRUE(runUntil([&] { return redirected.ended(); }));
  URLConnection::useProxyForTesting(std::nullopt);
  URLConnection::trustCertificatesForTesting(std::nullopt);
  EXPECT_GE(proxy.tunnels(), 1) << "the fetch went through the proxy";
  EXPECT_EQ(redirected.events, (std::vector<std::string>{"send /redirect", "redirect 302 to /imp", "response 200",
                                                          "finished"}));
  EXPECT_EQ(redirected.body, "hello");
  ASSERT_TRUE(redirected.response);
  EXPECT_EQ(redirected.response->valueForHeaderField("X-Protocol"), "HTTP/2.0") << "the server's fields";
  EXPECT_FALSE(redirected.response->valueForHeaderField("Proxy-Agent")) << "none of the proxy's";
}

// The proxy is the one the desktop's resolver names, as for the pages:
// a proxy in curl's environment variables that the resolver does not name
// is not used.
TEST_F(URLConnectionTest, TheProxyIsTheDesktopResolversNotCurlsEnvironments) {
  Answer straight;
  straight.body = "straight";
  server->setAnswer("/direct", straight);
  ::setenv("http_proxy", "http://127.0.0.1:9", 1);  // nobody listens there
  ::setenv("HTTP_PROXY", "http://127.0.0.1:9", 1);
  URLConnection::useProxyForTesting("direct://");
  auto connection = URLConnection::start(requestFor("/direct"), &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  ::unsetenv("http_proxy");
  ::unsetenv("HTTP_PROXY");
  URLConnection::useProxyForTesting(std::nullopt);
  EXPECT_TRUE(recorder.finished) << (recorder.error ? recorder.error->message : "");
  EXPECT_EQ(recorder.body, "straight");
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

// ------------------------------------------------- framing and deadlines

std::string chunked(const std::string& body, bool lastChunk) {
  std::string out;
  for (size_t at = 0; at < body.size(); at += 1000) {
    const std::string piece = body.substr(at, 1000);
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    out += size + piece + "\r\n";
  }
  if (lastChunk) out += "0\r\n\r\n";
  return out;
}

TEST_F(URLConnectionTest, BodyIsCompleteOnlyWhenItsFramingSaysSo) {
  const std::string text = noise(20000);
  const std::string gz = compressed(text, G_ZLIB_COMPRESSOR_FORMAT_GZIP);
  const std::string compressible(102400, 'z');
  const std::string gzLong = compressed(compressible, G_ZLIB_COMPRESSOR_FORMAT_GZIP);
  const std::string head = "HTTP/1.1 200 OK\r\n";
  const std::string gzipHead = head + "Content-Encoding: gzip\r\n";
  constexpr long kLost = platform::kURLErrorNetworkConnectionLost;
  const struct {
    const char* name;
    std::string raw;
    long error;  // 0: the body completes
  } cases[] = {
      {"length, whole", head + "Content-Length: 5\r\n\r\nhello", 0},
      {"length, short", head + "Content-Length: 500\r\n\r\nhello", kLost},
      {"length, short, closing", head + "Connection: close\r\nContent-Length: 500\r\n\r\nhello", kLost},
      {"close-delimited", head + "Connection: close\r\n\r\n" + text, 0},
      {"chunked, whole", head + "Transfer-Encoding: chunked\r\n\r\n" + chunked(text, true), 0},
      {"chunked, whole, closing", head + "Connection: close\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked(text, true), 0},
      {"chunked, no last chunk", head + "Transfer-Encoding: chunked\r\n\r\n" + chunked(text, false), kLost},
      {"chunked, cut inside a chunk", head + "Transfer-Encoding: chunked\r\n\r\n" + chunked(text, true).substr(0, 2500),
       kLost},
      {"chunked, size not hexadecimal", head + "Transfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n",
       platform::kURLErrorCannotParseResponse},
      {"gzip stream cut, chunk framing whole",
       gzipHead + "Transfer-Encoding: chunked\r\n\r\n" + chunked(gz.substr(0, gz.size() / 2), true), kLost},
      {"gzip, chunked, whole", gzipHead + "Transfer-Encoding: chunked\r\n\r\n" + chunked(gz, true), 0},
      {"gzip, whole", gzipHead + "Content-Length: " + std::to_string(gz.size()) + "\r\n\r\n" + gz, 0},
      {"gzip, length short",
       gzipHead + "Content-Length: " + std::to_string(gz.size()) + "\r\n\r\n" + gz.substr(0, gz.size() / 2), kLost},
      {"gzip stream cut, close-delimited", gzipHead + "Connection: close\r\n\r\n" + gz.substr(0, gz.size() / 2),
       kLost},
      {"compressible gzip stream cut, close-delimited",
       gzipHead + "Connection: close\r\n\r\n" + gzLong.substr(0, gzLong.size() / 2), kLost},
      {"compressible gzip, whole", gzipHead + "Connection: close\r\n\r\n" + gzLong, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Answer answer;
    answer.raw = c.raw;
    server->setAnswer("/framed", answer);
    Recorder each;
    auto connection = URLConnection::start(requestFor("/framed"), &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    if (c.error == 0) {
      EXPECT_TRUE(each.finished) << (each.error ? each.error->message : "");
      EXPECT_TRUE(each.body == text || each.body == "hello" || each.body == compressible) << each.body.size();
    } else {
      EXPECT_FALSE(each.finished) << each.body.size() << " bytes taken as the whole body";
      ASSERT_TRUE(each.error);
      EXPECT_EQ(each.error->code, c.error) << each.error->message;
    }
  }
}

// A small answer that decodes to far more than any ad or pixel (a "zip
// bomb") fails at the transport's bound, having handed over no more.
TEST_F(URLConnectionTest, ACompressedBodyFailsPastTheDecodedBound) {
  const std::string bomb =
      compressed(std::string(URLConnection::kMaximumDecodedBytes * 2, '\0'), G_ZLIB_COMPRESSOR_FORMAT_GZIP);
  ASSERT_LT(bomb.size(), 512u * 1024) << "a small answer";
  Answer answer;
  answer.raw = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(bomb.size()) +
               "\r\n\r\n" + bomb;
  server->setAnswer("/bomb", answer);
  auto connection = URLConnection::start(requestFor("/bomb"), &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }, 20));
  ASSERT_TRUE(recorder.error);
  EXPECT_EQ(recorder.error->code, platform::kURLErrorDataLengthExceedsMaximum);
  EXPECT_LE(recorder.body.size(), URLConnection::kMaximumDecodedBytes);
}

// A chunked body's trailer fields are not the response's: a trailer that
// named a refresh rate or tracking URLs would otherwise slip in after the
// head was read.
TEST_F(URLConnectionTest, TrailerFieldsStayOutOfTheResponsesFields) {
  Answer answer;
  answer.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Late\r\nX-Early: yes\r\n\r\n"
               "5\r\nhello\r\n0\r\nX-Late: trailer\r\n\r\n";
  server->setAnswer("/trailer", answer);
  auto connection = URLConnection::start(requestFor("/trailer"), &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  ASSERT_TRUE(recorder.finished);
  EXPECT_EQ(recorder.body, "hello");
  ASSERT_TRUE(recorder.response);
  EXPECT_EQ(recorder.response->valueForHeaderField("X-Early"), "yes");
  EXPECT_FALSE(recorder.response->valueForHeaderField("X-Late"));
}

TEST_F(URLConnectionTest, TricklingServerIsCutOffAtTheDeadlineWithOneFailure) {
  Answer trickle;
  trickle.raw = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(100000, 'x');
  trickle.trickleSeconds = 0.005;
  server->setAnswer("/trickle", trickle);
  URLRequest request = requestFor("/trickle");
  request.setTimeoutInterval(0.5);
  auto connection = URLConnection::start(request, &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }, 5));
  ASSERT_TRUE(recorder.error);
  EXPECT_EQ(recorder.error->code, platform::kURLErrorTimedOut);
  EXPECT_FALSE(recorder.body.empty()) << "bytes were arriving all along";
  runUntil([] { return false; }, 0.3);
  EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "failed"), 1);
  EXPECT_FALSE(recorder.finished);
}

// A status line whose code is no three-digit number is a malformed answer,
// not a status: nothing is handed on as a response.
TEST_F(URLConnectionTest, AStatusLineWithoutAThreeDigitCodeIsAMalformedAnswer) {
  for (const char* line : {"HTTP/1.1 abc OK", "HTTP/1.1 2000 OK", "HTTP/1.1 -20 OK", "HTTP/1.1 20 OK",
                           "HTTP/1.1 +200 OK", "HTTP/1.1 200x OK"}) {
    SCOPED_TRACE(line);
    Answer answer;
    answer.raw = std::string(line) + "\r\nContent-Length: 2\r\n\r\nhi";
    server->setAnswer("/status", answer);
    Recorder each;
    auto connection = URLConnection::start(requestFor("/status"), &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    EXPECT_FALSE(each.response) << "status " << each.response->statusCode();
    ASSERT_TRUE(each.error);
    EXPECT_EQ(each.error->code, platform::kURLErrorCannotParseResponse) << each.error->message;
  }
}

// A trailer field that reads as a status line (curl takes any trailer line
// with a colon) starts no new answer: the 200 handed on stays the answer,
// and the trailer's Location is followed nowhere.
TEST_F(URLConnectionTest, AStatusLineInATrailerStartsNoNewAnswer) {
  Answer answer;
  answer.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
               "5\r\nhello\r\n0\r\nHTTP/1.1 302 Found: x\r\nLocation: /elsewhere\r\n\r\n";
  server->setAnswer("/trailer", answer);
  server->setAnswer("/elsewhere", Answer{});
  auto connection = URLConnection::start(requestFor("/trailer"), &recorder);
  ASSERT_TRUE(runUntil([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"send /trailer", "response 200", "finished"}))
      << (recorder.error ? recorder.error->message : "");
  EXPECT_EQ(recorder.body, "hello");
  EXPECT_EQ(server->requestCount("/elsewhere"), 0u);
}

// "Content-Encoding: deflate" is a zlib stream by the RFC, but many servers
// send the raw DEFLATE stream without its wrapper; browsers take both.
TEST_F(URLConnectionTest, ADeflateBodyIsReadWithOrWithoutItsZlibWrapper) {
  const std::string text = noise(5000) + std::string(5000, 'z');
  for (const auto format : {G_ZLIB_COMPRESSOR_FORMAT_ZLIB, G_ZLIB_COMPRESSOR_FORMAT_RAW}) {
    SCOPED_TRACE(format == G_ZLIB_COMPRESSOR_FORMAT_RAW ? "raw" : "zlib");
    const std::string body = compressed(text, format);
    Answer answer;
    answer.raw = "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: " + std::to_string(body.size()) +
                 "\r\n\r\n" + body;
    server->setAnswer("/deflate", answer);
    Recorder each;
    auto connection = URLConnection::start(requestFor("/deflate"), &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    EXPECT_TRUE(each.finished) << (each.error ? each.error->message : "");
    EXPECT_EQ(each.body.size(), text.size());
    EXPECT_TRUE(each.body == text);
  }
}

// RFC 9110 15.4: a 303 continues as GET, but a HEAD stays a HEAD (as
// browsers keep it); a 301 or 302 changes only a POST; 307 and 308 keep
// every method.
TEST_F(URLConnectionTest, ARedirectChangesTheMethodOnlyWhereTheRFCLetsIt) {
  const struct {
    int status;
    const char* method;
    const char* next;
  } cases[] = {
      {303, "POST", "GET"}, {303, "PUT", "GET"},  {303, "HEAD", "HEAD"}, {303, "GET", "GET"},
      {302, "POST", "GET"}, {301, "POST", "GET"}, {302, "PUT", "PUT"},   {302, "HEAD", "HEAD"},
      {307, "POST", "POST"}, {308, "POST", "POST"},
  };
  server->setAnswer("/imp", Answer{});
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " after " + c.method);
    server->setAnswer("/moved", Answer::redirect(c.status, "/imp"));
    auto request = requestFor("/moved");
    request.setMethod(c.method);
    Recorder each;
    const size_t before = server->requests().size();
    auto connection = URLConnection::start(request, &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    ASSERT_TRUE(each.finished) << (each.error ? each.error->message : "");
    ASSERT_EQ(server->requests().size(), before + 2);
    EXPECT_EQ(server->requests()[before].method, c.method);
    EXPECT_EQ(server->requests()[before + 1].method, c.next);
  }
}

// A Location that makes no URL, or an http one without a host, fails the
// fetch before any delegate is asked about it.
TEST_F(URLConnectionTest, ARedirectToNoURLFailsAsABadURL) {
  for (const char* location : {"http://", "http:nohost", "https:///path", "http://[::1"}) {
    SCOPED_TRACE(location);
    server->setAnswer("/moved", Answer::redirect(302, location));
    Recorder each;
    auto connection = URLConnection::start(requestFor("/moved"), &each);
    ASSERT_TRUE(runUntil([&] { return each.ended(); }));
    ASSERT_TRUE(each.error);
    EXPECT_EQ(each.error->code, platform::kURLErrorBadURL) << each.error->message;
    EXPECT_EQ(each.events, (std::vector<std::string>{"send /moved", "failed"}));
  }
}
