#include "platform/URLConnection.h"

#include <gio/gio.h>
#include <libsoup/soup.h>
#include <strings.h>

#include <cstring>
#include <string>

#include "platform/ChunkedDecoder.h"
#include "platform/RunLoop.h"
#include "platform/SharedCookieJar.h"

// HTTP/1.1 on GIO sockets, with libsoup's header parser and cookie jar.
// libsoup's own client reads a chunked body that stops at a chunk boundary
// as complete and offers no way to tell (nor a way to ask for HTTP/1.0,
// which would avoid chunked answers), so the body's framing is read here.

namespace platform {

namespace {

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
  } else if (error->domain == G_TLS_ERROR) {
    code = kURLErrorSecureConnectionFailed;
  }
  return Error{kURLErrorDomain, code, error->message};
}

Dictionary headersOf(SoupMessageHeaders* fields) {
  Dictionary headers;
  SoupMessageHeadersIter it;
  soup_message_headers_iter_init(&it, fields);
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

bool hasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// Fields that describe the connection and the body's framing are ours.
bool isOwnField(const std::string& name) {
  for (const char* own : {"Host", "Connection", "Content-Length", "Transfer-Encoding", "Accept-Encoding", "TE"})
    if (strcasecmp(name.c_str(), own) == 0) return true;
  return false;
}

constexpr size_t kMaximumHeaderBytes = 64 * 1024;
constexpr gsize kReadBytes = 64 * 1024;

Error lost(const char* what) { return Error{kURLErrorDomain, kURLErrorNetworkConnectionLost, what}; }
Error unparsable(const char* what) { return Error{kURLErrorDomain, kURLErrorCannotParseResponse, what}; }

}  // namespace

struct URLConnection::State : std::enable_shared_from_this<State> {
  // How the end of the body is known (RFC 9112 6.3).
  enum class Framing { None, Length, Chunked, Close };

  URLConnection* connection = nullptr;  // cleared when the connection goes
  URLConnectionDelegate* delegate = nullptr;
  URLRequest request;
  GCancellable* cancellable = g_cancellable_new();
  GSocketClient* client = nullptr;
  GIOStream* stream = nullptr;
  GUri* uri = nullptr;
  int redirects = 0;
  bool done = false;

  // The answer being read.
  std::string buffer;  // received, not yet parsed
  bool inBody = false;
  Framing framing = Framing::Close;
  goffset remaining = 0;  // Length framing
  ChunkedDecoder chunks;
  GConverter* decoder = nullptr;  // Content-Encoding gzip or deflate
  bool decoderFinished = false;

  explicit State(URLRequest r) : request(std::move(r)) {}
  ~State() {
    closeStream();
    if (uri) g_uri_unref(uri);
    g_object_unref(cancellable);
  }

  void closeStream() {
    if (decoder) g_object_unref(decoder);
    decoder = nullptr;
    decoderFinished = false;
    if (stream) {
      // Closing may write (a TLS close notification): never on the loop's time.
      g_io_stream_close_async(stream, G_PRIORITY_DEFAULT, nullptr, nullptr, nullptr);
      g_object_unref(stream);
    }
    stream = nullptr;
    if (client) g_object_unref(client);
    client = nullptr;
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

  // A GIO failure: reported as ours (unless stopped) and freed.
  void failWith(GError* error) {
    const Error e = errorFromGError(error);
    g_error_free(error);
    fail(e);
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
    // Every fetch ends by its deadline, however steadily a server trickles.
    const double limit = request.timeoutInterval() > 0 ? request.timeoutInterval() : 60;
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

  // One hop: connect, write the request, read the answer.
  void send() {
    const URL& url = request.url();
    if (url.scheme() != "http" && url.scheme() != "https") {
      fail(Error{kURLErrorDomain, kURLErrorUnsupportedURL, "unsupported URL " + url.absoluteString()});
      return;
    }
    if (uri) g_uri_unref(uri);
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
    closeStream();
    buffer.clear();
    inBody = false;
    chunks = ChunkedDecoder();
    client = g_socket_client_new();
    g_socket_client_set_timeout(client, static_cast<guint>(request.timeoutInterval() > 1 ? request.timeoutInterval() : 1));
    const bool secure = url.scheme() == "https";
    g_socket_client_set_tls(client, secure);
    const int port = g_uri_get_port(uri) > 0 ? g_uri_get_port(uri) : (secure ? 443 : 80);
    g_socket_client_connect_to_host_async(client, g_uri_get_host(uri), static_cast<guint16>(port), cancellable,
                                          onConnected, new std::weak_ptr<State>(weak_from_this()));
  }

  static std::shared_ptr<State> take(gpointer data) {
    std::unique_ptr<std::weak_ptr<State>> weak(static_cast<std::weak_ptr<State>*>(data));
    auto state = weak->lock();
    return state && !state->stopped() ? state : nullptr;
  }

  static void onConnected(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GSocketConnection* connected = g_socket_client_connect_to_host_finish(G_SOCKET_CLIENT(source), result, &error);
    auto state = take(data);
    if (!state) {
      if (connected) g_object_unref(connected);
      if (error) g_error_free(error);
      return;
    }
    if (!connected) {
      state->failWith(error);
      return;
    }
    state->stream = G_IO_STREAM(connected);
    state->writeRequest();
  }

  std::string requestText() {
    std::string target = g_uri_get_path(uri);
    if (target.empty()) target = "/";
    if (const char* query = g_uri_get_query(uri)) target += std::string("?") + query;
    std::string host = g_uri_get_host(uri);
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    if (g_uri_get_port(uri) > 0) host += ":" + std::to_string(g_uri_get_port(uri));
    std::string text = request.method() + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    for (const auto& [name, value] : request.allHTTPHeaderFields())
      if (!isOwnField(name)) text += name + ": " + value + "\r\n";
    if (request.cachePolicy() == URLRequestCachePolicy::ReloadIgnoringLocalCacheData &&
        !request.valueForHTTPHeaderField("Cache-Control"))
      text += "Cache-Control: no-cache\r\n";
    if (request.shouldHandleCookies()) {
      GSList* cookies = soup_cookie_jar_get_cookie_list(sharedCookieJar(), uri, TRUE);
      if (cookies) {
        char* header = soup_cookies_to_cookie_header(cookies);
        if (header && *header) text += std::string("Cookie: ") + header + "\r\n";
        g_free(header);
        soup_cookies_free(cookies);
      }
    }
    if (request.method() == "POST" || request.method() == "PUT") text += "Content-Length: 0\r\n";
    text += "Accept-Encoding: gzip, deflate\r\nConnection: close\r\n\r\n";
    return text;
  }

  void writeRequest() {
    // The text lives with the write until it completes.
    struct Write {
      std::weak_ptr<State> state;
      std::string text;
    };
    auto* write = new Write{weak_from_this(), requestText()};
    g_output_stream_write_all_async(
        g_io_stream_get_output_stream(stream), write->text.data(), write->text.size(), G_PRIORITY_DEFAULT, cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<Write> write(static_cast<Write*>(data));
          GError* error = nullptr;
          const gboolean ok = g_output_stream_write_all_finish(G_OUTPUT_STREAM(source), result, nullptr, &error);
          auto state = write->state.lock();
          if (!state || state->stopped()) {
            if (error) g_error_free(error);
            return;
          }
          if (!ok) {
            state->failWith(error);
            return;
          }
          state->readMore();
        },
        write);
  }

  void readMore() {
    g_input_stream_read_bytes_async(g_io_stream_get_input_stream(stream), kReadBytes, G_PRIORITY_DEFAULT,
                                    cancellable, onRead, new std::weak_ptr<State>(weak_from_this()));
  }

  static void onRead(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, &error);
    auto state = take(data);
    if (!state) {
      if (bytes) g_bytes_unref(bytes);
      if (error) g_error_free(error);
      return;
    }
    if (!bytes) {
      state->failWith(error);
      return;
    }
    gsize size = 0;
    const auto* received = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    if (size > 0) state->buffer.append(received, size);
    g_bytes_unref(bytes);
    if (size == 0) {
      state->endOfStream();
      return;
    }
    if (!state->inBody && !state->readHeaders()) return;
    if (state->stopped()) return;
    if (state->inBody && !state->readBody()) return;
    if (!state->stopped()) state->readMore();
  }

  // Parses the header section once it is whole. False when reading stops
  // here (a failure, a redirect, a body-less answer or a delegate's stop).
  bool readHeaders() {
    for (;;) {
      size_t end = buffer.find("\r\n\r\n");
      size_t skip = 4;
      if (end == std::string::npos) {
        end = buffer.find("\n\n");
        skip = 2;
      }
      if (end == std::string::npos) {
        if (buffer.size() > kMaximumHeaderBytes) {
          fail(unparsable("header section too large"));
          return false;
        }
        return true;
      }
      SoupMessageHeaders* fields = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
      SoupHTTPVersion version;
      guint status = 0;
      char* reason = nullptr;
      const bool parsed = soup_headers_parse_response(buffer.data(), static_cast<int>(end + skip), fields, &version,
                                                      &status, &reason);
      g_free(reason);
      buffer.erase(0, end + skip);
      if (!parsed) {
        soup_message_headers_unref(fields);
        fail(unparsable("malformed status line or header fields"));
        return false;
      }
      // RFC 9110 15.2: interim answers precede the real one.
      if (status >= 100 && status < 200) {
        soup_message_headers_unref(fields);
        continue;
      }
      const bool keep = response(status, fields);
      soup_message_headers_unref(fields);
      return keep;
    }
  }

  bool response(unsigned status, SoupMessageHeaders* fields) {
    if (request.shouldHandleCookies()) {
      SoupMessageHeadersIter it;
      soup_message_headers_iter_init(&it, fields);
      const char *name = nullptr, *value = nullptr;
      while (soup_message_headers_iter_next(&it, &name, &value))
        if (strcasecmp(name, "Set-Cookie") == 0) soup_cookie_jar_set_cookie(sharedCookieJar(), uri, value);
    }
    HTTPResponse answer(request.url(), static_cast<int>(status), headersOf(fields));
    auto location = answer.valueForHeaderField("Location");
    if (isRedirect(status) && location) {
      closeStream();
      redirect(answer, *location);
      return false;
    }
    // RFC 9112 6.3: how the body ends.
    const bool bodiless = request.method() == "HEAD" || status == 204 || status == 304;
    switch (soup_message_headers_get_encoding(fields)) {
      case SOUP_ENCODING_CHUNKED: framing = Framing::Chunked; break;
      case SOUP_ENCODING_CONTENT_LENGTH:
        framing = Framing::Length;
        remaining = soup_message_headers_get_content_length(fields);
        break;
      case SOUP_ENCODING_NONE: framing = Framing::None; break;
      case SOUP_ENCODING_UNRECOGNIZED:
        if (!bodiless) {
          fail(unparsable("unknown transfer coding"));
          return false;
        }
        break;
      default: framing = Framing::Close; break;
    }
    if (bodiless) framing = Framing::None;
    if (const char* coding = soup_message_headers_get_one(fields, "Content-Encoding"); coding && !bodiless) {
      if (g_ascii_strcasecmp(coding, "gzip") == 0 || g_ascii_strcasecmp(coding, "x-gzip") == 0) {
        decoder = G_CONVERTER(g_zlib_decompressor_new(G_ZLIB_COMPRESSOR_FORMAT_GZIP));
      } else if (g_ascii_strcasecmp(coding, "deflate") == 0) {
        decoder = G_CONVERTER(g_zlib_decompressor_new(G_ZLIB_COMPRESSOR_FORMAT_ZLIB));
      } else if (g_ascii_strcasecmp(coding, "identity") != 0) {
        fail(Error{kURLErrorDomain, kURLErrorCannotDecodeContentData, std::string("unknown content coding ") + coding});
        return false;
      }
    }
    inBody = true;
    delegate->connectionDidReceiveResponse(*connection, answer);
    if (stopped()) return false;
    if (framing == Framing::None || (framing == Framing::Length && remaining == 0)) {
      completeBody();
      return false;
    }
    return true;
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

  // Hands what the buffer holds of the body to the delegate; false when
  // reading stops here.
  bool readBody() {
    std::string data;
    switch (framing) {
      case Framing::Length: {
        const size_t take = static_cast<size_t>(std::min<goffset>(remaining, static_cast<goffset>(buffer.size())));
        data = buffer.substr(0, take);
        remaining -= static_cast<goffset>(take);
        break;
      }
      case Framing::Chunked:
        if (chunks.feed(buffer, data) == ChunkedDecoder::Status::Malformed) {
          fail(unparsable("malformed chunked body"));
          return false;
        }
        break;
      case Framing::Close: data = std::move(buffer); break;
      case Framing::None: break;
    }
    buffer.clear();
    if (!deliver(data, false)) return false;
    if ((framing == Framing::Length && remaining == 0) ||
        (framing == Framing::Chunked && chunks.status() == ChunkedDecoder::Status::Done)) {
      completeBody();
      return false;
    }
    return true;
  }

  void endOfStream() {
    if (!inBody) {
      fail(lost("the connection closed before an answer"));
      return;
    }
    if (framing == Framing::Length && remaining > 0) {
      fail(lost("the body ended before its Content-Length"));
      return;
    }
    if (framing == Framing::Chunked && chunks.status() != ChunkedDecoder::Status::Done) {
      fail(lost("the chunked body ended before its last chunk"));
      return;
    }
    completeBody();
  }

  void completeBody() {
    if (!deliver({}, true)) return;
    closeStream();
    succeed();
  }

  // Decodes (when the body is compressed) and passes data on; at the end,
  // the compressed stream must be complete too. False once stopped.
  bool deliver(const std::string& data, bool atEnd) {
    if (!decoder) {
      if (!data.empty()) {
        delegate->connectionDidReceiveData(
            *connection, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
      }
      return !stopped();
    }
    // Whatever follows the end of the compressed stream is not body.
    if (decoderFinished) return true;
    std::string out(kReadBytes, '\0');
    size_t at = 0;
    for (;;) {
      gsize read = 0, written = 0;
      GError* error = nullptr;
      const GConverterResult result =
          g_converter_convert(decoder, data.data() + at, data.size() - at, out.data(), out.size(),
                              atEnd ? G_CONVERTER_INPUT_AT_END : G_CONVERTER_NO_FLAGS, &read, &written, &error);
      if (result == G_CONVERTER_ERROR) {
        const bool partial = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PARTIAL_INPUT);
        const std::string message = error->message;
        g_error_free(error);
        // More input will come: not an error yet.
        if (partial && !atEnd) return true;
        fail(partial ? lost("the compressed body ended early")
                     : Error{kURLErrorDomain, kURLErrorCannotDecodeContentData, message});
        return false;
      }
      at += read;
      if (written > 0) {
        delegate->connectionDidReceiveData(
            *connection, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(out.data()), written));
        if (stopped()) return false;
      }
      if (result == G_CONVERTER_FINISHED) {
        decoderFinished = true;
        return true;
      }
      if ((at >= data.size() || read == 0) && written == 0) {
        if (!atEnd) return true;
        fail(lost("the compressed body ended early"));
        return false;
      }
    }
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
  SoupCookieJar* jar = sharedCookieJar();
  GSList* all = soup_cookie_jar_all_cookies(jar);
  for (GSList* c = all; c; c = c->next) {
    soup_cookie_jar_delete_cookie(jar, static_cast<SoupCookie*>(c->data));
    soup_cookie_free(static_cast<SoupCookie*>(c->data));
  }
  g_slist_free(all);
}

}  // namespace platform
