#include "platform/URLConnection.h"

#include <curl/curl.h>
#include <gio/gio.h>
#include <libsoup/soup.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ASCII.h"
#include "platform/ContentDecoder.h"
#include "platform/CurlMulti.h"
#include "platform/HTTPHeaderParser.h"
#include "platform/RedirectTarget.h"
#include "platform/RunLoop.h"
#include "platform/SharedCookieJar.h"

// HTTP on libcurl's multi handle (CurlMulti), which the main loop drives:
// curl frames the body (a body cut short in any framing is its partial-file
// error, never a whole one), keeps connections alive per host and speaks
// HTTP/2 where the server offers it. The answer's head is read here
// (HTTPHeaderParser). Content codings are decoded here (ContentDecoder):
// curl takes a gzip stream cut short inside a whole chunked body as
// complete, and a body is whole only when its compressed stream is too.
// Redirects are followed here, one transfer per hop, so the delegate sees
// and may refuse each; cookies come from and go to libsoup's jar, which
// WebKit shares.

namespace platform {

namespace {

Error errorFromCurl(CURLcode code, const char* detail) {
  long ours = kURLErrorUnknown;
  switch (code) {
    case CURLE_COULDNT_CONNECT: ours = kURLErrorCannotConnectToHost; break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: ours = kURLErrorCannotFindHost; break;
    case CURLE_OPERATION_TIMEDOUT: ours = kURLErrorTimedOut; break;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_HTTP2_STREAM: ours = kURLErrorNetworkConnectionLost; break;
    // Curl reports a malformed chunked body with the same code as a lost
    // connection; only its text tells them apart.
    case CURLE_RECV_ERROR:
      ours = detail && std::strstr(detail, "chunk") ? kURLErrorCannotParseResponse : kURLErrorNetworkConnectionLost;
      break;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2: ours = kURLErrorCannotParseResponse; break;
    case CURLE_BAD_CONTENT_ENCODING: ours = kURLErrorCannotDecodeContentData; break;
    // Only http and https reach curl: its unsupported protocol is the
    // answer's ("Unsupported HTTP version in response", "Unsupported
    // response code in HTTP response", an HTTP/0.9 answer).
    case CURLE_UNSUPPORTED_PROTOCOL:
      ours = detail && (std::strstr(detail, "response") || std::strstr(detail, "HTTP/0.9"))
                 ? kURLErrorCannotParseResponse
                 : kURLErrorUnsupportedURL;
      break;
    case CURLE_URL_MALFORMAT: ours = kURLErrorBadURL; break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE: ours = kURLErrorSecureConnectionFailed; break;
    default: break;
  }
  return Error{kURLErrorDomain, ours, detail && *detail ? detail : curl_easy_strerror(code)};
}

bool isRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool hasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// Fields that describe the connection and the body's framing are curl's.
bool isOwnField(const std::string& name) {
  for (const char* own : {"Host", "Connection", "Content-Length", "Transfer-Encoding", "Accept-Encoding", "TE"})
    if (strcasecmp(name.c_str(), own) == 0) return true;
  return false;
}

constexpr size_t kMaximumRedirectBodyBytes = 64 * 1024;

std::optional<std::string>& trustedCertificatesForTesting() {
  static std::optional<std::string> path;
  return path;
}

GProxyResolver*& proxyResolverForTesting() {
  static GProxyResolver* resolver = nullptr;
  return resolver;
}

// What curl is told of a proxy GIO names: "" for none (which also keeps
// curl from reading the environment), else the proxy's URI; a SOCKS proxy
// resolves host names itself, as it does for the pages.
std::string curlProxy(const char* proxy) {
  const std::string uri = proxy ? proxy : "direct://";
  if (uri.rfind("direct://", 0) == 0) return "";
  if (uri.rfind("socks://", 0) == 0) return "socks5h://" + uri.substr(8);
  if (uri.rfind("socks5://", 0) == 0) return "socks5h://" + uri.substr(9);
  return uri;
}
// A server that sends less than this for this long has stalled.
constexpr long kStallBytesPerSecond = 1;
constexpr long kStallSeconds = 30;

}  // namespace

struct URLConnection::State : std::enable_shared_from_this<State> {
  URLConnection* connection = nullptr;  // cleared when the connection goes
  URLConnectionDelegate* delegate = nullptr;
  URLRequest request;
  double deadline = 0;  // on the run loop's clock
  int redirects = 0;
  bool done = false;

  // The hop under way: curl's transfer and what its callbacks buffered.
  CURL* easy = nullptr;
  curl_slist* fields = nullptr;
  GUri* uri = nullptr;
  GCancellable* proxyLookup = nullptr;  // while the hop's proxy is looked up
  char curlError[CURL_ERROR_SIZE] = {};
  // The answer's head. What it names (tracking URLs, say) is bounded by
  // count where it is read.
  HTTPHeaderParser head;
  bool responseDelivered = false;
  std::string pending;  // body bytes not yet handed on
  std::optional<ContentDecoder> decoder;  // once the answer names its coding
  std::optional<Error> stoppedBecause;  // when a callback stopped curl
  bool stoppedForRedirect = false;  // a redirect's head is in; its body is dropped
  size_t redirectBodyBytes = 0;

  explicit State(URLRequest r) : request(std::move(r)) {}
  ~State() { endTransfer(); }

  void endTransfer() {
    if (proxyLookup) {
      g_cancellable_cancel(proxyLookup);
      g_clear_object(&proxyLookup);
    }
    head = HTTPHeaderParser();
    decoder.reset();
    if (easy) {
      CurlMulti::shared().remove(easy);
      curl_easy_cleanup(easy);
      easy = nullptr;
    }
    if (fields) curl_slist_free_all(fields);
    fields = nullptr;
    if (uri) g_uri_unref(uri);
    uri = nullptr;
  }

  // True when nobody may be called any more.
  bool stopped() const { return done || !connection || !delegate; }

  void finish() {
    done = true;
    RunLoop::main().cancelPerformRequests(this);
    endTransfer();
  }

  void fail(const Error& error) {
    if (stopped()) return;
    URLConnection& c = *connection;
    URLConnectionDelegate* d = delegate;
    finish();
    d->connectionDidFailWithError(c, error);
  }

  void succeed() {
    if (stopped()) return;
    URLConnection& c = *connection;
    URLConnectionDelegate* d = delegate;
    finish();
    d->connectionDidFinishLoading(c);
  }

  void begin() {
    if (stopped()) return;
    // Every fetch ends by its deadline, however steadily a server trickles,
    // redirects and all.
    const double limit = request.timeoutInterval() > 0 ? request.timeoutInterval() : 60;
    deadline = RunLoop::main().now() + limit;
    std::weak_ptr<State> weak = weak_from_this();
    RunLoop::main().performAfterDelay(shared_from_this(), limit, [weak] {
      if (auto state = weak.lock()) state->fail(Error{kURLErrorDomain, kURLErrorTimedOut, "The request timed out."});
    });
    auto next = delegate->connectionWillSendRequest(*connection, request, nullptr);
    if (stopped()) return;
    if (!next) {
      finish();
      return;
    }
    request = std::move(*next);
    send();
  }

  // One hop: one curl transfer.
  void send() {
    const URL& url = request.url();
    if (url.scheme() != "http" && url.scheme() != "https") {
      fail(Error{kURLErrorDomain, kURLErrorUnsupportedURL, "unsupported URL " + url.absoluteString()});
      return;
    }
    endTransfer();
    GError* error = nullptr;
    uri = g_uri_parse(url.absoluteString().c_str(), static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS), &error);
    if (!uri || !g_uri_get_host(uri) || !*g_uri_get_host(uri)) {
      fail(Error{kURLErrorDomain, kURLErrorBadURL, error ? error->message : "no host in " + url.absoluteString()});
      if (error) g_error_free(error);
      return;
    }
    for (const auto& [name, value] : request.allHTTPHeaderFields()) {
      if (hasLineBreak(name) || hasLineBreak(value)) {
        fail(Error{kURLErrorDomain, kURLErrorBadURL, "header field " + name + " holds a line break"});
        return;
      }
    }
    lookUpProxy();
  }

  // The desktop's resolver may read a proxy script or ask the network:
  // never on the main thread's time.
  void lookUpProxy() {
    GProxyResolver* resolver = proxyResolverForTesting() ? proxyResolverForTesting() : g_proxy_resolver_get_default();
    proxyLookup = g_cancellable_new();
    g_proxy_resolver_lookup_async(
        resolver, request.url().absoluteString().c_str(), proxyLookup,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<std::weak_ptr<State>> weak(static_cast<std::weak_ptr<State>*>(data));
          GError* error = nullptr;
          gchar** proxies = g_proxy_resolver_lookup_finish(G_PROXY_RESOLVER(source), result, &error);
          auto state = weak->lock();
          if (state && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
            g_clear_object(&state->proxyLookup);
            if (proxies && proxies[0]) {
              state->transfer(curlProxy(proxies[0]));
            } else {
              state->fail(Error{kURLErrorDomain, kURLErrorCannotConnectToHost,
                                std::string("no proxy for the URL: ") + (error ? error->message : "none named")});
            }
          }
          g_strfreev(proxies);
          if (error) g_error_free(error);
        },
        new std::weak_ptr<State>(weak_from_this()));
  }

  void transfer(const std::string& proxy) {
    if (stopped()) return;
    const URL& url = request.url();
    responseDelivered = stoppedForRedirect = false;
    redirectBodyBytes = 0;
    pending.clear();
    stoppedBecause.reset();
    curlError[0] = '\0';

    easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.absoluteString().c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_2TLS);
    // A fetch that starts while another to the same host is connecting
    // waits to share its HTTP/2 connection rather than open one of its own.
    // Only over TLS, where HTTP/2 can be agreed: over plain HTTP there is
    // nothing to share, and the wait could hold a fetch behind another's
    // slow answer on the one connection.
    if (url.scheme() == "https") curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
    if (const auto& trusted = trustedCertificatesForTesting()) curl_easy_setopt(easy, CURLOPT_CAINFO, trusted->c_str());
    const double left = std::max(0.001, deadline - RunLoop::main().now());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(std::ceil(left * 1000)));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    // A proxy's answer to CONNECT is the proxy's, not the server's: it never
    // reaches the header callback, which would take it for the response.
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &State::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &State::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);

    const std::string& method = request.method();
    if (method == "HEAD") {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "POST" || method == "PUT") {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
      if (method == "PUT") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "PUT");
    } else if (method != "GET") {
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    // The request's own fields, and nothing of curl's beyond framing.
    fields = curl_slist_append(fields, "Accept:");
    fields = curl_slist_append(fields, "Expect:");
    fields = curl_slist_append(fields, "Accept-Encoding: gzip, deflate");
    for (const auto& [name, value] : request.allHTTPHeaderFields())
      if (!isOwnField(name)) fields = curl_slist_append(fields, (name + ": " + value).c_str());
    if (request.cachePolicy() == URLRequestCachePolicy::ReloadIgnoringLocalCacheData &&
        !request.valueForHTTPHeaderField("Cache-Control"))
      fields = curl_slist_append(fields, "Cache-Control: no-cache");
    if (request.shouldHandleCookies()) {
      GSList* jarCookies = soup_cookie_jar_get_cookie_list(sharedCookieJar(), uri, TRUE);
      if (jarCookies) {
        char* header = soup_cookies_to_cookie_header(jarCookies);
        if (header && *header) fields = curl_slist_append(fields, (std::string("Cookie: ") + header).c_str());
        g_free(header);
        soup_cookies_free(jarCookies);
      }
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, fields);

    std::weak_ptr<State> weak = weak_from_this();
    CurlMulti::shared().add(
        easy,
        [weak] {
          if (auto state = weak.lock()) state->handOn();
        },
        [weak](CURLcode result) {
          if (auto state = weak.lock()) state->transferDone(result);
        });
  }

  // Curl's callbacks: they only read and buffer (curl is on the stack).
  static size_t onHeader(char* data, size_t size, size_t count, void* self) {
    auto* state = static_cast<State*>(self);
    const size_t bytes = size * count;
    switch (state->head.take(std::string_view(data, bytes))) {
      case HTTPHeaderParser::Step::Failed:
        state->stoppedBecause = *state->head.failure();
        return 0;
      case HTTPHeaderParser::Step::HeadComplete:
        // HTTP/2 names its fields in lower case.
        if (isRedirect(state->head.status()) && headerFieldValue(state->head.fields(), "Location")) {
          // The hop's body is read and dropped, so its connection stays
          // open for the next hop (closing it mid-answer would end it).
          state->stoppedForRedirect = true;
        }
        return bytes;
      case HTTPHeaderParser::Step::Continue: return bytes;
    }
    return bytes;
  }

  static size_t onBody(char* data, size_t size, size_t count, void* self) {
    auto* state = static_cast<State*>(self);
    if (state->stoppedForRedirect) {
      // A redirect's body says nothing; past a page's worth, the hop ends
      // here and its connection with it.
      state->redirectBodyBytes += size * count;
      return state->redirectBodyBytes > kMaximumRedirectBodyBytes ? 0 : size * count;
    }
    state->pending.append(data, size * count);
    return size * count;
  }

  // Out of curl: the answer's head once whole, then its body so far.
  void handOn() {
    if (stopped() || !head.headComplete() || stoppedForRedirect) return;
    if (!responseDelivered) {
      responseDelivered = true;
      storeCookies();
      const HTTPResponse answer(request.url(), head.status(), head.fields());
      if (!chooseDecoder(answer)) return;
      delegate->connectionDidReceiveResponse(*connection, answer);
      if (stopped()) return;
    }
    if (pending.empty()) return;
    deliver(std::exchange(pending, std::string()), false);
  }

  // False (and failed) for a coding we cannot decode.
  bool chooseDecoder(const HTTPResponse& answer) {
    const bool bodiless = request.method() == "HEAD" || head.status() == 204 || head.status() == 304;
    const auto named = answer.valueForHeaderField("Content-Encoding");
    auto coding = ContentDecoder::Coding::Identity;
    if (named && !bodiless) {
      const auto known = ContentDecoder::codingNamed(*named);
      if (!known) {
        fail(ContentDecoder::unknownCoding(*named));
        return false;
      }
      coding = *known;
    }
    decoder.emplace(coding, URLConnection::kMaximumDecodedBytes);
    return true;
  }

  // Decodes (when the body is compressed) and passes data on; at the end,
  // the compressed stream must be complete too. False once stopped.
  bool deliver(const std::string& data, bool atEnd) {
    if (!decoder) decoder.emplace(ContentDecoder::Coding::Identity, URLConnection::kMaximumDecodedBytes);
    const auto error = decoder->decode(data, atEnd, [this](std::span<const std::uint8_t> piece) {
      delegate->connectionDidReceiveData(*connection, piece);
      return !stopped();
    });
    if (stopped()) return false;
    if (error) {
      fail(*error);
      return false;
    }
    return true;
  }

  void storeCookies() {
    if (!request.shouldHandleCookies()) return;
    for (const auto& cookie : head.cookies()) soup_cookie_jar_set_cookie(sharedCookieJar(), uri, cookie.c_str());
  }

  void transferDone(CURLcode result) {
    if (stopped()) return;
    if (stoppedForRedirect) {
      storeCookies();
      const HTTPResponse answer(request.url(), head.status(), head.fields());
      const std::string location = *answer.valueForHeaderField("Location");
      redirect(answer, location);
      return;
    }
    if (stoppedBecause) {
      fail(*stoppedBecause);
      return;
    }
    if (result != CURLE_OK) {
      fail(errorFromCurl(result, curlError));
      return;
    }
    if (!head.headComplete()) {
      fail(Error{kURLErrorDomain, kURLErrorNetworkConnectionLost, "the connection closed before an answer"});
      return;
    }
    handOn();
    if (stopped() || !deliver({}, true)) return;
    succeed();
  }

  // The next hop, as RedirectTarget makes it, put to the delegate.
  void redirect(const HTTPResponse& response, const std::string& location) {
    if (++redirects > kMaximumRedirects) {
      fail(Error{kURLErrorDomain, kURLErrorHTTPTooManyRedirects, "too many HTTP redirects"});
      return;
    }
    auto next = RedirectTarget::next(request, response.statusCode(), location);
    if (!next) {
      fail(next.error());
      return;
    }
    endTransfer();
    auto decided = delegate->connectionWillSendRequest(*connection, std::move(*next), &response);
    if (stopped()) return;
    if (!decided) {
      finish();
      return;
    }
    request = std::move(*decided);
    send();
  }
};

std::shared_ptr<URLConnection> URLConnection::start(const URLRequest& request, URLConnectionDelegate* delegate) {
  std::shared_ptr<URLConnection> connection(new URLConnection());
  auto state = std::make_shared<State>(request);
  state->connection = connection.get();
  state->delegate = delegate;
  connection->state_ = state;
  std::weak_ptr<State> weak = state;
  RunLoop::main().performAfterDelay(state, 0, [weak] {
    if (auto s = weak.lock()) s->begin();
  });
  return connection;
}

URLConnection::~URLConnection() {
  cancel();
  state_->connection = nullptr;
}

void URLConnection::cancel() {
  state_->delegate = nullptr;
  if (!state_->done) state_->finish();
}

bool URLConnection::isCancelled() const { return state_->delegate == nullptr; }

void URLConnection::useProxyForTesting(std::optional<std::string> proxyURI) {
  g_clear_object(&proxyResolverForTesting());
  if (proxyURI) proxyResolverForTesting() = g_simple_proxy_resolver_new(proxyURI->c_str(), nullptr);
}

void URLConnection::trustCertificatesForTesting(std::optional<std::string> pemPath) {
  trustedCertificatesForTesting() = std::move(pemPath);
}

void URLConnection::clearCookiesForTesting() {
  SoupCookieJar* jar = sharedCookieJar();
  GSList* all = soup_cookie_jar_all_cookies(jar);
  for (GSList* c = all; c; c = c->next) {
    soup_cookie_jar_delete_cookie(jar, static_cast<SoupCookie*>(c->data));
    soup_cookie_free(static_cast<SoupCookie*>(c->data));
  }
  g_slist_free(all);
}

void URLConnection::setCookieForTesting(const URL& url, const std::string& setCookie) {
  GUri* uri = g_uri_parse(url.absoluteString().c_str(), static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS), nullptr);
  if (!uri) return;
  soup_cookie_jar_set_cookie(sharedCookieJar(), uri, setCookie.c_str());
  g_uri_unref(uri);
}

std::vector<std::string> URLConnection::cookiesForTesting() {
  std::vector<std::string> found;
  GSList* all = soup_cookie_jar_all_cookies(sharedCookieJar());
  for (GSList* c = all; c; c = c->next) {
    auto* cookie = static_cast<SoupCookie*>(c->data);
    found.push_back(std::string(soup_cookie_get_name(cookie)) + "=" + soup_cookie_get_value(cookie));
    soup_cookie_free(cookie);
  }
  g_slist_free(all);
  return found;
}

}  // namespace platform
