#include "platform/CurlMulti.h"

#include <glib-unix.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/RunLoop.h"

namespace platform {

CurlMulti& CurlMulti::shared() {
  // Kept for the process's life: transfers may still be running at exit.
  static CurlMulti* multi = new CurlMulti();
  return *multi;
}

CurlMulti::CurlMulti() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  multi_ = curl_multi_init();
  if (!multi_) std::abort();
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
  // HTTP/2 streams to one host share its connection.
  curl_multi_setopt(multi_, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
}

void CurlMulti::add(CURL* easy, std::function<void()> progressed, std::function<void(CURLcode)> done) {
  transfers_[easy] = Transfer{std::move(progressed), std::move(done)};
  curl_multi_add_handle(multi_, easy);
}

void CurlMulti::remove(CURL* easy) {
  if (transfers_.erase(easy) == 0) return;
  curl_multi_remove_handle(multi_, easy);
}

int CurlMulti::onSocket(CURL*, curl_socket_t socket, int what, void* data, void*) {
  auto* self = static_cast<CurlMulti*>(data);
  self->unwatch(socket);
  if (what == CURL_POLL_REMOVE) return 0;
  int condition = G_IO_ERR | G_IO_HUP;
  if (what & CURL_POLL_IN) condition |= G_IO_IN;
  if (what & CURL_POLL_OUT) condition |= G_IO_OUT;
  GSource* source = g_unix_fd_source_new(socket, static_cast<GIOCondition>(condition));
  g_source_set_callback(source, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(&CurlMulti::onSocketReady)),
                        self, nullptr);
  g_source_attach(source, RunLoop::main().context());
  self->sockets_[socket] = source;
  return 0;
}

void CurlMulti::unwatch(curl_socket_t socket) {
  auto it = sockets_.find(socket);
  if (it == sockets_.end()) return;
  g_source_destroy(it->second);
  g_source_unref(it->second);
  sockets_.erase(it);
}

int CurlMulti::onTimer(CURLM*, long milliseconds, void* data) {
  auto* self = static_cast<CurlMulti*>(data);
  if (self->timer_) {
    g_source_destroy(self->timer_);
    g_source_unref(self->timer_);
    self->timer_ = nullptr;
  }
  if (milliseconds < 0) return 0;
  self->timer_ = g_timeout_source_new(static_cast<guint>(milliseconds));
  g_source_set_callback(self->timer_, &CurlMulti::onTimeout, self, nullptr);
  g_source_attach(self->timer_, RunLoop::main().context());
  return 0;
}

gboolean CurlMulti::onSocketReady(gint fd, GIOCondition condition, gpointer data) {
  int events = 0;
  if (condition & G_IO_IN) events |= CURL_CSELECT_IN;
  if (condition & G_IO_OUT) events |= CURL_CSELECT_OUT;
  if (condition & (G_IO_ERR | G_IO_HUP)) events |= CURL_CSELECT_ERR;
  static_cast<CurlMulti*>(data)->act(fd, events);
  // Curl says through onSocket whether it still wants the socket watched.
  return G_SOURCE_CONTINUE;
}

gboolean CurlMulti::onTimeout(gpointer data) {
  auto* self = static_cast<CurlMulti*>(data);
  // A one-shot: curl sets the next through onTimer.
  g_source_unref(self->timer_);
  self->timer_ = nullptr;
  self->act(CURL_SOCKET_TIMEOUT, 0);
  return G_SOURCE_REMOVE;
}

void CurlMulti::act(curl_socket_t socket, int events) {
  int running = 0;
  curl_multi_socket_action(multi_, socket, events, &running);
  // Out of curl now: owners may remove, destroy or start transfers, so
  // each is looked up again before it is called.
  std::vector<CURL*> active;
  active.reserve(transfers_.size());
  for (const auto& [easy, transfer] : transfers_) active.push_back(easy);
  for (CURL* easy : active) {
    auto it = transfers_.find(easy);
    if (it == transfers_.end()) continue;
    auto progressed = it->second.progressed;
    if (progressed) progressed();
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    CURL* easy = message->easy_handle;
    const CURLcode result = message->data.result;
    auto it = transfers_.find(easy);
    if (it == transfers_.end()) continue;
    auto done = std::move(it->second.done);
    transfers_.erase(it);
    curl_multi_remove_handle(multi_, easy);
    if (done) done(result);
  }
}

}  // namespace platform
