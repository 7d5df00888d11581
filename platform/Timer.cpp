#include "platform/Timer.h"

#include "platform/RunLoop.h"

namespace platform {

// The run loop's request holds this state (and through it the target) until
// the timer fires or is invalidated; the request is cancelled by the state.
struct Timer::State {
  std::shared_ptr<void> target;
  std::function<void()> action;
  bool valid = true;

  void release() {
    if (valid) RunLoop::main().cancelPerformRequests(this);
    valid = false;
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
  std::weak_ptr<State> weak = state;
  RunLoop::main().performAfterDelay(state, seconds, [weak] {
    auto s = weak.lock();
    if (!s || !s->valid) return;
    s->valid = false;
    auto keep = std::move(s->target);
    auto fire = std::move(s->action);
    fire();
  });
  return std::shared_ptr<Timer>(new Timer(seconds, std::move(state)));
}

Timer::~Timer() { state_->release(); }

void Timer::invalidate() { state_->release(); }

bool Timer::isValid() const { return state_->valid; }

}  // namespace platform
