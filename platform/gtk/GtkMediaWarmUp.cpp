#include "platform/gtk/GtkMediaWarmUp.h"

#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "platform/RunLoop.h"

namespace platform::gtk {

namespace {

struct WarmUp {
  bool started = false;
  std::atomic<bool> done{false};  // set by the worker
  std::vector<std::function<void()>> waiting;
  std::shared_ptr<int> token = std::make_shared<int>();
};

WarmUp& warmUp() {
  static WarmUp state;
  return state;
}

}  // namespace

void GtkMediaWarmUp::start() {
  auto& state = warmUp();
  if (state.started) return;
  state.started = true;
  // GTK's media module initialises GStreamer again on the main thread;
  // by then it finds it done.
  RunLoop::main().performInBackground(
      state.token,
      [] {
        gst_init_check(nullptr, nullptr, nullptr);
        warmUp().done = true;
      },
      [] {
        for (auto& then : std::exchange(warmUp().waiting, {})) then();
      });
}

void GtkMediaWarmUp::whenReady(std::function<void()> then) {
  auto& state = warmUp();
  if (!state.started || state.done) {
    then();
    return;
  }
  state.waiting.push_back(std::move(then));
}

}  // namespace platform::gtk
