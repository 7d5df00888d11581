// nginx on 127.0.0.1, serving TLS with HTTP/2 on a free port with a
// certificate made for the test (its own authority, trusted through
// URLConnection::trustCertificatesForTesting). "/redirect" answers a 302 to
// "/imp"; every other answer is 200 "hello" and names the protocol it went
// by ("X-Protocol") and nginx's serial number of the connection it came on
// ("X-Connection"). Never beyond loopback.
#pragma once

#include <gio/gio.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/RunLoop.h"

class LoopbackTLSServer {
 public:
  LoopbackTLSServer() {
    char pattern[] = "/tmp/blorvik-tls-XXXXXX";
    folder_ = g_mkdtemp(pattern);
    port_ = freePort();
    if (!makeCertificate() || !writeConfiguration()) return;
    const std::string config = (folder_ / "nginx.conf").string();
    const char* argv[] = {"nginx", "-c", config.c_str(), "-p", folder_.c_str(), nullptr};
    GError* error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<char**>(argv), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
                       &pid_, &error)) {
      problem_ = error->message;
      g_error_free(error);
      return;
    }
    // Up once it takes connections.
    platform::RunLoop::main().runUntil([&] { return accepts(); }, 10);
    if (!accepts()) problem_ = "nginx did not start: " + log();
  }
  ~LoopbackTLSServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
      g_spawn_close_pid(pid_);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  LoopbackTLSServer(const LoopbackTLSServer&) = delete;
  LoopbackTLSServer& operator=(const LoopbackTLSServer&) = delete;

  // Empty when the server runs; else why it does not.
  const std::string& problem() const { return problem_; }
  std::string url(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(port_) + path; }
  std::string certificate() const { return (folder_ / "cert.pem").string(); }

 private:
  static int freePort() {
    GSocket* socket = g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* any = g_inet_socket_address_new(loopback, 0);
    g_socket_bind(socket, any, TRUE, nullptr);
    GSocketAddress* bound = g_socket_get_local_address(socket, nullptr);
    const int port = bound ? g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound)) : 0;
    if (bound) g_object_unref(bound);
    g_object_unref(any);
    g_object_unref(loopback);
    g_socket_close(socket, nullptr);
    g_object_unref(socket);
    return port;
  }

  bool makeCertificate() {
    const std::string key = (folder_ / "key.pem").string(), cert = certificate();
    const char* argv[] = {"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                          "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key.c_str(), "-out",
                          cert.c_str(), nullptr};
    int status = -1;
    if (!g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                               G_SPAWN_STDERR_TO_DEV_NULL),
                      nullptr, nullptr, nullptr, nullptr, &status, nullptr) ||
        !g_spawn_check_wait_status(status, nullptr)) {
      problem_ = "openssl could not make a certificate";
      return false;
    }
    return true;
  }

  bool writeConfiguration() {
    std::ofstream out(folder_ / "nginx.conf");
    const std::string f = folder_.string();
    out << "daemon off;\nmaster_process off;\npid " << f << "/nginx.pid;\nerror_log " << f << "/error.log;\n"
        << "events {}\nhttp {\n  access_log off;\n"
        << "  client_body_temp_path " << f << "/body;\n  proxy_temp_path " << f << "/proxy;\n"
        << "  fastcgi_temp_path " << f << "/fastcgi;\n  uwsgi_temp_path " << f << "/uwsgi;\n"
        << "  scgi_temp_path " << f << "/scgi;\n"
        << "  server {\n    listen 127.0.0.1:" << port_ << " ssl http2;\n"
        << "    ssl_certificate " << certificate() << ";\n    ssl_certificate_key " << f << "/key.pem;\n"
        << "    location = /redirect {\n      return 302 /imp;\n    }\n"
        << "    location / {\n      add_header X-Protocol $server_protocol;\n"
        << "      add_header X-Connection $connection;\n      return 200 \"hello\";\n    }\n  }\n}\n";
    return static_cast<bool>(out);
  }

  bool accepts() const {
    GSocketClient* client = g_socket_client_new();
    GSocketConnection* connection = g_socket_client_connect_to_host(client, "127.0.0.1", static_cast<guint16>(port_),
                                                                    nullptr, nullptr);
    if (connection) g_object_unref(connection);
    g_object_unref(client);
    return connection != nullptr;
  }

  std::string log() const {
    std::ifstream in(folder_ / "error.log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::filesystem::path folder_;
  int port_ = 0;
  GPid pid_ = 0;
  std::string problem_;
};
