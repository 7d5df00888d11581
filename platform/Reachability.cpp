#include "platform/Reachability.h"

#include <gio/gio.h>

namespace platform {

struct Reachability::State : std::enable_shared_from_this<State> {
  std::string host;
  Reachability* owner = nullptr;
  Callback callback = nullptr;
  void* context = nullptr;
  GNetworkMonitor* monitor = nullptr;
  gulong changedHandler = 0;
  GCancellable* cancellable = nullptr;

  void check() {
    if (cancellable) {
      g_cancellable_cancel(cancellable);
      g_object_unref(cancellable);
    }
    cancellable = g_cancellable_new();
    GSocketConnectable* address = g_network_address_new(host.c_str(), 80);
    g_network_monitor_can_reach_async(monitor, address, cancellable, onChecked,
                                      new std::weak_ptr<State>(weak_from_this()));
    g_object_unref(address);
  }

  static void onChecked(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::weak_ptr<State>> weak(static_cast<std::weak_ptr<State>*>(data));
    GError* error = nullptr;
    const bool reachable = g_network_monitor_can_reach_finish(G_NETWORK_MONITOR(source), result, &error);
    const bool cancelled = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    if (error) g_error_free(error);
    auto state = weak->lock();
    if (!state || cancelled || !state->callback || !state->owner) return;
    std::uint32_t flags = 0;
    if (reachable) {
      flags |= kFlagReachable;
      if (g_network_monitor_get_network_metered(state->monitor)) flags |= kFlagIsWWAN;
    }
    state->callback(state->owner, flags, state->context);
  }

  void stop() {
    if (changedHandler) g_signal_handler_disconnect(monitor, changedHandler);
    changedHandler = 0;
    if (cancellable) {
      g_cancellable_cancel(cancellable);
      g_object_unref(cancellable);
      cancellable = nullptr;
    }
  }
};

Reachability::Reachability(std::shared_ptr<State> state) : state_(std::move(state)) { state_->owner = this; }

std::unique_ptr<Reachability> Reachability::createWithName(const std::string& host) {
  if (host.empty()) return nullptr;
  GNetworkMonitor* monitor = g_network_monitor_get_default();
  if (!monitor) return nullptr;
  auto state = std::make_shared<State>();
  state->host = host;
  state->monitor = monitor;
  return std::unique_ptr<Reachability>(new Reachability(std::move(state)));
}

Reachability::~Reachability() {
  state_->stop();
  state_->owner = nullptr;
}

void Reachability::setCallback(Callback callback, void* context) {
  state_->callback = callback;
  state_->context = context;
}

void Reachability::scheduleWithRunLoop() {
  if (state_->changedHandler) return;
  // The signal handler holds a weak reference only, released with it.
  state_->changedHandler = g_signal_connect_data(
      state_->monitor, "network-changed",
      G_CALLBACK(+[](GNetworkMonitor*, gboolean, gpointer data) {
        if (auto state = static_cast<std::weak_ptr<State>*>(data)->lock()) state->check();
      }),
      new std::weak_ptr<State>(state_), [](gpointer data, GClosure*) { delete static_cast<std::weak_ptr<State>*>(data); },
      GConnectFlags(0));
  state_->check();
}

void Reachability::unscheduleFromRunLoop() { state_->stop(); }

}  // namespace platform
