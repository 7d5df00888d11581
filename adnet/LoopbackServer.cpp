#include "adnet/LoopbackServer.h"

#include "platform/HTTPDate.h"

#include <libsoup/soup.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace adnet {

namespace {

std::optional<std::time_t> parseDate(const char* text) {
  if (!text) return std::nullopt;
  GDateTime* when = soup_date_time_new_from_http_string(text);
  if (!when) return std::nullopt;
  const std::time_t seconds = g_date_time_to_unix(when);
  g_date_time_unref(when);
  return seconds;
}

const char* reasonOf(int status) {
  const char* phrase = soup_status_get_phrase(static_cast<guint>(status));
  return phrase ? phrase : "Unknown";
}

}  // namespace

std::optional<std::string> RecordedRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  return std::nullopt;
}

// Raw bytes on a connection taken from the server, written one at a time
// on a timer (or all at once), then the connection is closed.
struct RawWriter {
  GIOStream* io = nullptr;
  std::string bytes;
  size_t sent = 0;
  GSource* timer = nullptr;

  ~RawWriter() {
    if (timer) {
      g_source_destroy(timer);
      g_source_unref(timer);
    }
    g_io_stream_close(io, nullptr, nullptr);
    g_object_unref(io);
  }
  // False once everything is written or the peer has gone.
  bool writeSome(size_t count) {
    count = std::min(count, bytes.size() - sent);
    gsize written = 0;
    if (!g_output_stream_write_all(g_io_stream_get_output_stream(io), bytes.data() + sent, count, &written, nullptr,
                                   nullptr))
      return false;
    sent += written;
    return sent < bytes.size();
  }
};

struct LoopbackServer::Impl {
  SoupServer* server = nullptr;
  GMainContext* context = nullptr;
  std::vector<GSource*> pending;  // delayed answers not yet sent
  std::vector<std::unique_ptr<RawWriter>> writers;  // trickling answers

  void writeRaw(SoupServerMessage* message, const std::string& bytes, double trickleSeconds) {
    auto writer = std::make_unique<RawWriter>();
    writer->io = soup_server_message_steal_connection(message);
    writer->bytes = bytes;
    if (trickleSeconds <= 0) {
      writer->writeSome(bytes.size());
      return;
    }
    RawWriter* w = writer.get();
    writers.push_back(std::move(writer));
    w->timer = g_timeout_source_new(static_cast<guint>(trickleSeconds * 1000));
    struct Tick {
      Impl* impl;
      RawWriter* writer;
    };
    g_source_set_callback(
        w->timer,
        [](gpointer data) -> gboolean {
          auto* tick = static_cast<Tick*>(data);
          if (tick->writer->writeSome(1)) return G_SOURCE_CONTINUE;
          // Finished: the writer goes, and its timer with it.
          g_source_unref(tick->writer->timer);
          tick->writer->timer = nullptr;
          std::erase_if(tick->impl->writers, [&](const auto& each) { return each.get() == tick->writer; });
          return G_SOURCE_REMOVE;
        },
        new Tick{this, w}, [](gpointer data) { delete static_cast<Tick*>(data); });
    g_source_attach(w->timer, context);
  }

  ~Impl() {
    writers.clear();
    for (GSource* source : pending) {
      g_source_destroy(source);
      g_source_unref(source);
    }
    if (server) {
      soup_server_disconnect(server);
      g_object_unref(server);
    }
  }
};

std::string LoopbackServer::httpDate(std::time_t time) { return platform::HTTPDate::format(time); }

LoopbackServer::LoopbackServer(int port) : impl_(std::make_unique<Impl>()) {
  impl_->context = g_main_context_get_thread_default();
  impl_->server = soup_server_new("server-header", "adnet ", nullptr);
  // The handler's `this` is valid while the server exists: the server is
  // disconnected and released before this object goes.
  soup_server_add_handler(
      impl_->server, nullptr,
      [](SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer data) {
        auto* self = static_cast<LoopbackServer*>(data);
        RecordedRequest request;
        request.method = soup_server_message_get_method(message);
        request.path = path;
        if (const char* query = g_uri_get_query(soup_server_message_get_uri(message))) request.query = query;
        SoupMessageHeadersIter it;
        soup_message_headers_iter_init(&it, soup_server_message_get_request_headers(message));
        const char *name, *value;
        while (soup_message_headers_iter_next(&it, &name, &value)) request.headers.emplace_back(name, value);
        self->requests_.push_back(request);
        // Each client connection has a port of its own.
        if (GSocketAddress* from = soup_server_message_get_remote_address(message); G_IS_INET_SOCKET_ADDRESS(from))
          self->clientPorts_.insert(g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(from)));

        Answer answer;
        answer.status = 404;
        answer.body = "not found";
        if (auto handler = self->handlers_.find(request.path); handler != self->handlers_.end())
          answer = handler->second(request);

        auto* impl = self->impl_.get();
        auto respond = [message, request, answer, impl]() {
          if (answer.raw) {
            impl->writeRaw(message, *answer.raw, answer.trickleSeconds);
            return;
          }
          if (answer.drop != Answer::Drop::No) {
            GIOStream* io = soup_server_message_steal_connection(message);
            if (answer.drop == Answer::Drop::MidBody) {
              std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + reasonOf(answer.status) +
                                 "\r\nContent-Length: " + std::to_string(answer.body.size() * 2 + 16) + "\r\n\r\n" +
                                 answer.body;
              g_output_stream_write_all(g_io_stream_get_output_stream(io), head.data(), head.size(), nullptr,
                                        nullptr, nullptr);
            }
            g_io_stream_close(io, nullptr, nullptr);
            g_object_unref(io);
            return;
          }
          SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
          for (const auto& [name, value] : answer.headers) soup_message_headers_append(headers, name.c_str(), value.c_str());
          if (answer.lastModified) {
            soup_message_headers_replace(headers, "Last-Modified", httpDate(*answer.lastModified).c_str());
            auto since = parseDate(request.header("If-Modified-Since") ? request.header("If-Modified-Since")->c_str()
                                                                       : nullptr);
            // RFC 9110 13.1.3: unchanged since the client's copy.
            if (since && *since >= *answer.lastModified) {
              soup_server_message_set_status(message, 304, nullptr);
              return;
            }
          }
          soup_server_message_set_status(message, static_cast<guint>(answer.status), nullptr);
          soup_server_message_set_response(message, answer.contentType.c_str(), SOUP_MEMORY_COPY,
                                           answer.body.data(), answer.body.size());
        };

        if (answer.delaySeconds <= 0) {
          respond();
          return;
        }
        soup_server_message_pause(message);
        GSource* source = g_timeout_source_new(static_cast<guint>(answer.delaySeconds * 1000));
        struct Delayed {
          std::function<void()> respond;
          SoupServerMessage* message;
          Impl* impl;
          GSource* source;
        };
        auto* delayed = new Delayed{respond, message, impl, source};
        g_source_set_callback(
            source,
            [](gpointer d) -> gboolean {
              auto* delayedAnswer = static_cast<Delayed*>(d);
              std::erase(delayedAnswer->impl->pending, delayedAnswer->source);
              g_source_unref(delayedAnswer->source);
              delayedAnswer->respond();
              soup_server_message_unpause(delayedAnswer->message);
              return G_SOURCE_REMOVE;
            },
            delayed, [](gpointer d) { delete static_cast<Delayed*>(d); });
        impl->pending.push_back(source);
        g_source_attach(source, impl->context);
      },
      this, nullptr);

  GError* error = nullptr;
  if (!soup_server_listen_local(impl_->server, static_cast<guint>(port), SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
    std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("loopback server cannot listen: " + message);
  }
  GSList* uris = soup_server_get_uris(impl_->server);
  if (uris) port_ = g_uri_get_port(static_cast<GUri*>(uris->data));
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

LoopbackServer::~LoopbackServer() = default;

std::string LoopbackServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::setAnswer(const std::string& path, Answer answer) {
  handlers_[path] = [answer](const RecordedRequest&) { return answer; };
}

void LoopbackServer::setHandler(const std::string& path, Handler handler) { handlers_[path] = std::move(handler); }

size_t LoopbackServer::requestCount(const std::string& path) const {
  size_t count = 0;
  for (const auto& request : requests_)
    if (request.path == path) ++count;
  return count;
}

}  // namespace adnet
