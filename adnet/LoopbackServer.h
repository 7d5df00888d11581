// A scripted HTTP server on 127.0.0.1 and an ephemeral port, on the calling
// thread's default main context: answers per path (status, headers, body,
// redirects, delays, conditional 304s, dropped connections) and a record of
// every request received. The sandbox ad network grows from it; tests use
// it directly. Never listens beyond loopback.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace adnet {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct RecordedRequest {
  std::string method;
  std::string path;
  std::optional<std::string> query;
  HeaderList headers;

  // The first field of that name, compared without case.
  std::optional<std::string> header(const std::string& name) const;
};

struct Answer {
  enum class Drop {
    No,
    // The connection is closed without any response.
    BeforeResponse,
    // The status line and a Content-Length are sent, then part of the body,
    // then the connection is closed.
    MidBody,
  };

  int status = 200;
  HeaderList headers;
  std::string body;
  // Sent as "Last-Modified"; a request whose "If-Modified-Since" is not
  // earlier gets a 304 with no body instead.
  std::optional<std::time_t> lastModified;
  double delaySeconds = 0;
  Drop drop = Drop::No;
  // Bytes written verbatim instead of a response (status line, headers and
  // body, framing and all), after which the connection is closed: for
  // servers that lie about their framing.
  std::optional<std::string> raw;
  // With `raw`: one byte every this many seconds, for servers that trickle.
  double trickleSeconds = 0;
  std::string contentType = "text/html; charset=utf-8";

  static Answer redirect(int status, const std::string& location) {
    Answer a;
    a.status = status;
    a.headers.emplace_back("Location", location);
    return a;
  }
};

class LoopbackServer {
 public:
  using Handler = std::function<Answer(const RecordedRequest&)>;

  // On `port`, or an ephemeral one when 0. Throws when it cannot listen.
  explicit LoopbackServer(int port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `path`.
  std::string url(const std::string& path = "/") const;

  // The same answer for every request of `path` (exact match).
  void setAnswer(const std::string& path, Answer answer);
  // Answers computed per request.
  void setHandler(const std::string& path, Handler handler);

  const std::vector<RecordedRequest>& requests() const { return requests_; }
  size_t requestCount(const std::string& path) const;
  void clearRequests() { requests_.clear(); }
  // Client connections that have sent a request so far.
  size_t connectionCount() const { return clientPorts_.size(); }

  // "Sun, 06 Nov 1994 08:49:37 GMT".
  static std::string httpDate(std::time_t time);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
  std::map<std::string, Handler> handlers_;
  std::vector<RecordedRequest> requests_;
  std::set<unsigned> clientPorts_;
};

}  // namespace adnet
