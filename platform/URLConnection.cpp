#include "platform/URLConnection.h"

#include <libsoup/soup.h>

#include <cstring>
#include <string>

#include "platform/RunLoop.h"

namespace platform {

namespace {

// One session (with its cookie jar) per main context: libsoup sessions are
// tied to the context they were made on, and tests make a fresh one each.
struct SessionSlot {
  GMainContext* context = nullptr;
  SoupSession* session = nullptr;
  SoupCookieJar* cookies = nullptr;
};

SessionSlot& sessionSlot() {
  static SessionSlot slot;
  return slot;
}

SoupSession* sharedSession() {
  SessionSlot& slot = sessionSlot();
  GMainContext* context = RunLoop::main().context();
  if (slot.session && slot.context == context) return slot.session;
  if (slot.session) {
    g_object_unref(slot.cookies);
    g_object_unref(slot.session);
  }
  slot.context = context;
  slot.session = soup_session_new_with_options("timeout", 60u, "idle-timeout", 30u, nullptr);
  slot.cookies = soup_cookie_jar_new();
  soup_cookie_jar_set_accept_policy(slot.cookies, SOUP_COOKIE_JAR_ACCEPT_ALWAYS);
  soup_session_add_feature(slot.session, SOUP_SESSION_FEATURE(slot.cookies));
  return slot.session;
}

Error errorFromGError(const GError* error) {
  long code = kURLErrorUnknown;
  if (error->domain == G_IO_ERROR) {
    switch (error->code) {
      case G_IO_ERROR_CONNECTION_REFUSED:
      case G_IO_ERROR_HOST_UNREACHABLE:
      case G_IO_ERROR_NETWORK_UNREACHABLE: code = kURLErrorCannotConnectToHost; break;
      case G_IO_ERROR_TIMED_OUT: code = kURLErrorTimedOut; break;
      case G_IO_ERROR_PARTIAL_INPUT:
      case G_IO_ERROR_BROKEN_PIPE: code = kURLErrorNetworkConnectionLost; break;
      default: break;
    }
  } else if (error->domain == G_RESOLVER_ERROR) {
    code = kURLErrorCannotFindHost;
  } else if (error->domain == SOUP_SESSION_ERROR) {
    code = kURLErrorNetworkConnectionLost;
  }
  return Error{kURLErrorDomain, code, error->message};
}

Dictionary headersOf(SoupMessage* message) {
  Dictionary headers;
  SoupMessageHeadersIter it;
  soup_message_headers_iter_init(&it, soup_message_get_response_headers(message));
  const char* name = nullptr;
  const char* value = nullptr;
  while (soup_message_headers_iter_next(&it, &name, &value)) {
    if (Value* existing = headers.find(name); existing && existing->isString())
      *existing = *existing->asString() + ", " + value;
    else
      headers.set(name, value);
  }
  return headers;
}

bool isRedirect(unsigned status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

struct URLConnection::State : std::enable_shared_from_this<State> {
  URLConnection* connection = nullptr;  // cleared when the connection goes
  URLConnectionDelegate* delegate = nullptr;
  URLRequest request;
  GCancellable* cancellable = g_cancellable_new();
  SoupMessage* message = nullptr;
  GInputStream* body = nullptr;
  int redirects = 0;
  bool done = false;

  explicit State(URLRequest r) : request(std::move(r)) {}
  ~State() {
    if (body) g_object_unref(body);
    if (message) g_object_unref(message);
    g_object_unref(cancellable);
  }

  // True when nobody may be called any more.
  bool stopped() const { return done || !connection || !delegate; }

  void finish() {
    done = true;
    RunLoop::main().cancelPerformRequests(this);
    g_cancellable_cancel(cancellable);
  }

  void fail(const Error& error) {
    if (stopped()) return;
    URLConnection& c = *connection;
    URLConnectionDelegate* d = delegate;
    finish();
    d->connectionDidFailWithError(c, error);
  }

  void begin() {
    if (stopped()) return;
    auto next = delegate->connectionWillSendRequest(*connection, request, nullptr);
    if (stopped()) return;
    if (!next) {
      finish();
      return;
    }
    request = std::move(*next);
    send();
  }

  void send() {
    const URL& url = request.url();
    if (url.scheme() != "http" && url.scheme() != "https") {
      fail(Error{kURLErrorDomain, kURLErrorUnsupportedURL, "unsupported URL " + url.absoluteString()});
      return;
    }
    GError* error = nullptr;
    GUri* uri = g_uri_parse(url.absoluteString().c_str(), static_cast<GUriFlags>(SOUP_HTTP_URI_FLAGS), &error);
    if (!uri) {
      fail(Error{kURLErrorDomain, kURLErrorBadURL, error->message});
      g_error_free(error);
      return;
    }
    if (message) g_object_unref(message);
    message = soup_message_new_from_uri(request.method().c_str(), uri);
    g_uri_unref(uri);
    // Redirects are followed here, so that the delegate is asked at each hop.
    soup_message_add_flags(message, SOUP_MESSAGE_NO_REDIRECT);
    if (!request.shouldHandleCookies()) soup_message_disable_feature(message, SOUP_TYPE_COOKIE_JAR);
    SoupMessageHeaders* headers = soup_message_get_request_headers(message);
    for (const auto& [name, value] : request.allHTTPHeaderFields())
      soup_message_headers_replace(headers, name.c_str(), value.c_str());
    if (request.cachePolicy() == URLRequestCachePolicy::ReloadIgnoringLocalCacheData)
      soup_message_headers_replace(headers, "Cache-Control", "no-cache");
    soup_session_send_async(sharedSession(), message, G_PRIORITY_DEFAULT, cancellable, onSent,
                            new std::weak_ptr<State>(weak_from_this()));
  }

  static void onSent(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::weak_ptr<State>> weak(static_cast<std::weak_ptr<State>*>(data));
    GError* error = nullptr;
    GInputStream* stream = soup_session_send_finish(SOUP_SESSION(source), result, &error);
    auto state = weak->lock();
    if (!state || state->stopped()) {
      if (stream) g_object_unref(stream);
      if (error) g_error_free(error);
      return;
    }
    if (!stream) {
      Error e = errorFromGError(error);
      g_error_free(error);
      state->fail(e);
      return;
    }
    state->received(stream);
  }

  void received(GInputStream* stream) {
    const unsigned status = soup_message_get_status(message);
    HTTPResponse response(request.url(), static_cast<int>(status), headersOf(message));
    auto location = response.valueForHeaderField("Location");
    if (isRedirect(status) && location) {
      g_object_unref(stream);
      redirect(response, *location);
      return;
    }
    body = stream;
    delegate->connectionDidReceiveResponse(*connection, response);
    if (stopped()) return;
    readMore();
  }

  // RFC 9110 15.4: a 303, and a 301 or 302 after POST, continue as GET.
  void redirect(const HTTPResponse& response, const std::string& location) {
    if (++redirects > kMaximumRedirects) {
      fail(Error{kURLErrorDomain, kURLErrorHTTPTooManyRedirects, "too many HTTP redirects"});
      return;
    }
    auto target = URL::create(location, request.url());
    if (!target) {
      fail(Error{kURLErrorDomain, kURLErrorBadURL, "bad redirect location " + location});
      return;
    }
    URLRequest next = request;
    next.setURL(*target);
    const unsigned status = static_cast<unsigned>(response.statusCode());
    if (status == 303 || ((status == 301 || status == 302) && request.method() == "POST")) next.setMethod("GET");
    auto decided = delegate->connectionWillSendRequest(*connection, next, &response);
    if (stopped()) return;
    if (!decided) {
      finish();
      return;
    }
    request = std::move(*decided);
    send();
  }

  void readMore() {
    g_input_stream_read_bytes_async(body, 64 * 1024, G_PRIORITY_DEFAULT, cancellable, onRead,
                                    new std::weak_ptr<State>(weak_from_this()));
  }

  static void onRead(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::weak_ptr<State>> weak(static_cast<std::weak_ptr<State>*>(data));
    GError* error = nullptr;
    GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, &error);
    auto state = weak->lock();
    if (!state || state->stopped()) {
      if (bytes) g_bytes_unref(bytes);
      if (error) g_error_free(error);
      return;
    }
    if (!bytes) {
      Error e = errorFromGError(error);
      g_error_free(error);
      state->fail(e);
      return;
    }
    gsize size = 0;
    const auto* data_ = static_cast<const std::uint8_t*>(g_bytes_get_data(bytes, &size));
    if (size == 0) {
      g_bytes_unref(bytes);
      URLConnection& c = *state->connection;
      URLConnectionDelegate* d = state->delegate;
      state->finish();
      d->connectionDidFinishLoading(c);
      return;
    }
    state->delegate->connectionDidReceiveData(*state->connection, std::span<const std::uint8_t>(data_, size));
    g_bytes_unref(bytes);
    if (state->stopped()) return;
    state->readMore();
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

void URLConnection::clearCookiesForTesting() {
  SessionSlot& slot = sessionSlot();
  if (!slot.cookies) return;
  GSList* all = soup_cookie_jar_all_cookies(slot.cookies);
  for (GSList* c = all; c; c = c->next) {
    soup_cookie_jar_delete_cookie(slot.cookies, static_cast<SoupCookie*>(c->data));
    soup_cookie_free(static_cast<SoupCookie*>(c->data));
  }
  g_slist_free(all);
}

}  // namespace platform
