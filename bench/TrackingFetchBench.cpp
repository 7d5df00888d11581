// Impression trackings as the client fetches them: 100 fetches of a pixel,
// one after another, to one loopback host over plain HTTP (the sandbox's
// server) and over TLS (a loopback nginx with HTTP/2 and a certificate made
// for the run). Figures only: the time of each fetch (first apart, then the
// median and p90) and the connections the server saw.
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "bench/RunFigures.h"
#include "platform/RunLoop.h"
#include "platform/URLConnection.h"
#include "platform/headless/HeadlessToolkit.h"
#include "tests/support/LoopbackTLSServer.h"

namespace {

struct Fetch : platform::URLConnectionDelegate {
  bool ended = false;
  bool failed = false;
  std::string connection;  // nginx's serial of the connection, over TLS
  void connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPResponse& response) override {
    connection = response.valueForHeaderField("X-Connection").value_or("");
  }
  void connectionDidReceiveData(platform::URLConnection&, std::span<const std::uint8_t>) override {}
  void connectionDidFinishLoading(platform::URLConnection&) override { ended = true; }
  void connectionDidFailWithError(platform::URLConnection&, const platform::Error&) override { ended = failed = true; }
};

// The times of 100 fetches of `url`, and what each response named as its
// connection; empty when one fails.
std::vector<double> fetchAll(const std::string& url, std::set<std::string>& connections) {
  std::vector<double> times;
  for (int i = 0; i < 100; ++i) {
    Fetch fetch;
    const auto start = RunFigures::Clock::now();
    auto connection = platform::URLConnection::start(platform::URLRequest(*platform::URL::create(url)), &fetch);
    platform::RunLoop::main().runUntil([&] { return fetch.ended; }, 10);
    if (!fetch.ended || fetch.failed) return {};
    times.push_back(RunFigures::millisecondsSince(start));
    connections.insert(fetch.connection);
  }
  return times;
}

}  // namespace

int main() {
  platform::HeadlessToolkit::install();
  platform::RunLoop::resetMainForTesting();
  adnet::LoopbackServer server;
  adnet::Answer pixel;
  pixel.contentType = "image/gif";
  pixel.body = std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14);
  server.setAnswer("/zovo/imp", pixel);
  std::set<std::string> unused;
  const auto plain = fetchAll(server.url("/zovo/imp"), unused);
  if (plain.empty()) {
    std::fprintf(stderr, "a plain fetch failed\n");
    return 1;
  }
  RunFigures::report("100 trackings over HTTP, one host", plain);
  std::printf("%-56s %zu\n", "connections the server saw", server.connectionCount());

  LoopbackTLSServer tls;
  if (!tls.problem().empty()) {
    std::fprintf(stderr, "no TLS server: %s\n", tls.problem().c_str());
    return 1;
  }
  platform::URLConnection::trustCertificatesForTesting(tls.certificate());
  std::set<std::string> connections;
  const auto secure = fetchAll(tls.url("/zovo/imp"), connections);
  if (secure.empty()) {
    std::fprintf(stderr, "a TLS fetch failed\n");
    return 1;
  }
  RunFigures::report("100 trackings over TLS (HTTP/2), one host", secure);
  std::printf("%-56s %zu\n", "connections they came on", connections.size());
  return 0;
}
