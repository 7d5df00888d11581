#include "platform/Timer.h"

#include <glib.h>

#include "platform/RunLoop.h"

namespace platform {

struct Timer::State {
  std::shared_ptr<void> target;
  std::function<void()> action;
  GSource* source = nullptr;
  bool valid = true;

  void release() {
    valid = false;
    if (source) {
      g_source_destroy(source);
      g_source_unref(source);
      source = nullptr;
    }
    // Moved out first: releasing the target may destroy whoever owns us.
    auto oldTarget = std::move(target);
    auto oldAction = std::move(action);
  }
};

Timer::Timer(double seconds, std::shared_ptr<State> state) : seconds_(seconds), state_(std::move(state)) {}

std::shared_ptr<Timer> Timer::scheduledTimer(double seconds, std::shared_ptr<void> target,
                                             std::function<void()> action) {
  auto state = std::make_shared<State>();
  state->target = std::move(target);
  state->action = std::move(action);
  const guint milliseconds = seconds <= 0 ? 0 : static_cast<guint>(seconds * 1000.0 + 0.5);
  state->source = g_timeout_source_new(milliseconds);
  g_source_set_callback(
      state->source,
      [](gpointer data) -> gboolean {
        auto s = static_cast<std::weak_ptr<State>*>(data)->lock();
        if (!s || !s->valid) return G_SOURCE_REMOVE;
        s->valid = false;
        g_source_unref(s->source);
        s->source = nullptr;
        auto keep = std::move(s->target);
        auto fire = std::move(s->action);
        fire();
        return G_SOURCE_REMOVE;
      },
      new std::weak_ptr<State>(state), [](gpointer data) { delete static_cast<std::weak_ptr<State>*>(data); });
  g_source_attach(state->source, RunLoop::main().context());
  return std::shared_ptr<Timer>(new Timer(seconds, std::move(state)));
}

Timer::~Timer() { state_->release(); }

void Timer::invalidate() { state_->release(); }

bool Timer::isValid() const { return state_->valid; }

}  // namespace platform
