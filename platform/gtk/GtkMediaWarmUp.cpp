#include "platform/gtk/GtkMediaWarmUp.h"

#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "platform/RunLoop.h"

namespace platform::gtk {

namespace {

enum class Stage { NotStarted, Warming, Ready };

struct WarmUp {
  Stage stage = Stage::NotStarted;
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
  if (state.stage != Stage::NotStarted) return;
  state.stage = Stage::Warming;
  // GTK's media module initialises GStreamer again on the main thread;
  // by then it finds it done.
  RunLoop::main().performInBackground(
      state.token,
      [] {
        gst_init_check(nullptr, nullptr, nullptr);
        warmUp().done = true;
      },
      [] {
        auto& done = warmUp();
        done.stage = Stage::Ready;
        for (auto& then : std::exchange(done.waiting, {})) then();
      });
}

void GtkMediaWarmUp::whenReady(std::function<void()> then) {
  auto& state = warmUp();
  if (state.stage != Stage::Warming || state.done) {
    then();
    return;
  }
  state.waiting.push_back(std::move(then));
}

bool GtkMediaWarmUp::isReady() { return warmUp().stage != Stage::Warming || warmUp().done; }

}  // namespace platform::gtk
