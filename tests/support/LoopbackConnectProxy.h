// A proxy on 127.0.0.1 that answers CONNECT as proxies do ("HTTP/1.1 200
// Connection established", then the bytes both ways) and counts the
// tunnels it opened. Each tunnel runs on threads of its own, blocking, so
// the test's main loop plays the client freely. Loopback only: it connects
// to 127.0.0.1 whatever host the request names.
#pragma once

#include <gio/gio.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

class LoopbackConnectProxy {
 public:
  LoopbackConnectProxy() : service_(g_threaded_socket_service_new(8)) {
    GError* error = nullptr;
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
    GSocketAddress* bound = nullptr;
    g_socket_listener_add_address(G_SOCKET_LISTENER(service_), address, G_SOCKET_TYPE_STREAM,
                                  G_SOCKET_PROTOCOL_TCP, nullptr, &bound, &error);
    if (bound) {
      port_ = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
      g_object_unref(bound);
    }
    if (error) g_error_free(error);
    g_object_unref(address);
    g_object_unref(loopback);
    g_signal_connect(service_, "run", G_CALLBACK(&LoopbackConnectProxy::tunnel), this);
    g_socket_service_start(service_);
  }
  ~LoopbackConnectProxy() {
    g_socket_service_stop(service_);
    g_socket_listener_close(G_SOCKET_LISTENER(service_));
    g_object_unref(service_);
  }
  LoopbackConnectProxy(const LoopbackConnectProxy&) = delete;
  LoopbackConnectProxy& operator=(const LoopbackConnectProxy&) = delete;

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int tunnels() const { return tunnels_.load(); }

 private:
  // Copies until either side closes; then closes both, ending the other copy.
  static void copy(GIOStream* from, GIOStream* to) {
    char buffer[16384];
    for (;;) {
      const gssize got = g_input_stream_read(g_io_stream_get_input_stream(from), buffer, sizeof buffer, nullptr, nullptr);
      if (got <= 0) break;
      if (!g_output_stream_write_all(g_io_stream_get_output_stream(to), buffer, static_cast<gsize>(got), nullptr,
                                     nullptr, nullptr))
        break;
    }
    g_io_stream_close(from, nullptr, nullptr);
    g_io_stream_close(to, nullptr, nullptr);
  }

  static gboolean tunnel(GThreadedSocketService*, GSocketConnection* client, GObject*, gpointer data) {
    auto* self = static_cast<LoopbackConnectProxy*>(data);
    // The request's head, a byte at a time up to its blank line.
    std::string head;
    char c = 0;
    GInputStream* in = g_io_stream_get_input_stream(G_IO_STREAM(client));
    while (head.size() < 8192 && g_input_stream_read(in, &c, 1, nullptr, nullptr) == 1) {
      head += c;
      if (head.ends_with("\r\n\r\n")) break;
    }
    const size_t colon = head.find(':', 8);
    const size_t space = head.find(' ', 8);
    if (!head.starts_with("CONNECT ") || colon == std::string::npos || space == std::string::npos) return TRUE;
    const auto port = static_cast<guint16>(std::stoi(head.substr(colon + 1, space - colon - 1)));
    GSocketClient* connector = g_socket_client_new();
    GSocketConnection* upstream = g_socket_client_connect_to_host(connector, "127.0.0.1", port, nullptr, nullptr);
    g_object_unref(connector);
    if (!upstream) return TRUE;
    ++self->tunnels_;
    static constexpr char kEstablished[] = "HTTP/1.1 200 Connection established\r\nProxy-Agent: loopback\r\n\r\n";
    g_output_stream_write_all(g_io_stream_get_output_stream(G_IO_STREAM(client)), kEstablished,
                              std::strlen(kEstablished), nullptr, nullptr, nullptr);
    std::thread back(copy, G_IO_STREAM(upstream), G_IO_STREAM(client));
    copy(G_IO_STREAM(client), G_IO_STREAM(upstream));
    back.join();
    g_object_unref(upstream);
    return TRUE;
  }

  GSocketService* service_;
  guint16 port_ = 0;
  std::atomic<int> tunnels_{0};
};
