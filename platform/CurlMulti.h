// The process's one libcurl multi handle, driven by the main run loop: a
// GLib source per socket curl watches and one timeout source for curl's
// timer, so no transfer ever blocks the loop. Transfers on it share
// curl's connection cache: a second fetch to a host reuses the first's
// connection (and its TLS session), and HTTP/2 streams share one.
//
// Curl calls back into its transfers from inside curl_multi_socket_action,
// where nothing may remove a handle; so a transfer's callbacks only buffer,
// and its owner hears of progress and of the end afterwards, through the
// functions it gave to add(). Main thread only.
#pragma once

#include <curl/curl.h>

#include <functional>
#include <map>

#include <glib.h>

namespace platform {

class CurlMulti {
 public:
  static CurlMulti& shared();
  CurlMulti(const CurlMulti&) = delete;
  CurlMulti& operator=(const CurlMulti&) = delete;

  // Starts the transfer. `progressed` is called after each turn in which
  // curl ran for it (it may have buffered something); `done` once, with
  // curl's result, after the handle has left the multi handle. Either may
  // remove or destroy any transfer.
  void add(CURL* easy, std::function<void()> progressed, std::function<void(CURLcode)> done);
  // Stops the transfer without a call to its functions; the caller then
  // cleans the easy handle up. Never from inside curl's own callbacks.
  void remove(CURL* easy);

 private:
  CurlMulti();
  ~CurlMulti() = default;

  struct Transfer {
    std::function<void()> progressed;
    std::function<void(CURLcode)> done;
  };

  static int onSocket(CURL* easy, curl_socket_t socket, int what, void* self, void* socketData);
  static int onTimer(CURLM* multi, long milliseconds, void* self);
  static gboolean onSocketReady(gint fd, GIOCondition condition, gpointer self);
  static gboolean onTimeout(gpointer self);
  void act(curl_socket_t socket, int events);
  void unwatch(curl_socket_t socket);

  CURLM* multi_;
  std::map<CURL*, Transfer> transfers_;
  std::map<curl_socket_t, GSource*> sockets_;
  GSource* timer_ = nullptr;
};

}  // namespace platform
