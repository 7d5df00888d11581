// An asynchronous HTTP fetch on libcurl. Callbacks arrive on the main run
// loop, in this order: connectionWillSendRequest before the first request
// and before each redirect hop (our code follows redirects, so the delegate
// sees and may refuse each one), then one response, its data, and finished
// or failed. Nothing is called inside start().
//
// Servers are not trusted to end what they start: a body is finished only
// when its framing says so (all of its Content-Length, or the connection's
// close; a compressed body also needs its compressed stream complete), and
// every fetch ends by the request's timeout interval at the latest.
//
// Each hop goes through the proxy the desktop's resolver (GIO's, which
// WebKit's pages follow too) names for its URL, or direct; curl's own
// reading of the environment is not used.
//
// The delegate is not retained: its owner cancels the connection before it
// goes. After cancel() no callback follows. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/HTTPResponse.h"
#include "platform/URLError.h"
#include "platform/URLRequest.h"

namespace platform {

class URLConnection;

class URLConnectionDelegate {
 public:
  virtual ~URLConnectionDelegate() = default;
  // `redirectResponse` is null for the first request. Returns the request to
  // send, or nullopt to stop quietly (no further callbacks).
  virtual std::optional<URLRequest> connectionWillSendRequest(URLConnection&, URLRequest request,
                                                              const HTTPResponse* /*redirectResponse*/) {
    return request;
  }
  virtual void connectionDidReceiveResponse(URLConnection& connection, const HTTPResponse& response) = 0;
  virtual void connectionDidReceiveData(URLConnection& connection, std::span<const std::uint8_t> data) = 0;
  virtual void connectionDidFinishLoading(URLConnection& connection) = 0;
  virtual void connectionDidFailWithError(URLConnection& connection, const Error& error) = 0;
};

class URLConnection {
 public:
  // More hops than this fail with kURLErrorHTTPTooManyRedirects.
  static constexpr int kMaximumRedirects = 16;
  // The most a compressed body may grow to: a small answer that decodes to
  // hundreds of megabytes (a "zip bomb") fails at this bound instead.
  static constexpr size_t kMaximumDecodedBytes = 32 * 1024 * 1024;

  // Starts fetching on a later turn of the main run loop.
  static std::shared_ptr<URLConnection> start(const URLRequest& request, URLConnectionDelegate* delegate);
  ~URLConnection();
  URLConnection(const URLConnection&) = delete;
  URLConnection& operator=(const URLConnection&) = delete;

  void cancel();
  bool isCancelled() const;

  // Drops every cookie of the process's cookie jar (tests).
  static void clearCookiesForTesting();
  // Stores a cookie in that jar as if `url`'s answer had set it with this
  // Set-Cookie value (a site a user visited), and reads the jar back:
  // "name=value" of each cookie, in the jar's order (tests).
  static void setCookieForTesting(const URL& url, const std::string& setCookie);
  static std::vector<std::string> cookiesForTesting();
  // Trusts the certificate authorities in that PEM file instead of the
  // system's (a test's own); nullopt: the system's again.
  static void trustCertificatesForTesting(std::optional<std::string> pemPath);
  // Answers every proxy lookup with this proxy URI ("direct://": none)
  // instead of the desktop's resolver; nullopt: the desktop's again.
  static void useProxyForTesting(std::optional<std::string> proxyURI);

 private:
  struct State;
  URLConnection() = default;
  std::shared_ptr<State> state_;
};

}  // namespace platform
