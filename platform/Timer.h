// A one-shot timer on the main run loop. While scheduled it holds its target
// alive (as the loader's refresh timer must); invalidating it or destroying
// the Timer object releases the target and cancels its run-loop request.
// It runs on the run loop's clock, so tests can advance it by hand.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class Timer {
 public:
  // Calls `action` once after `seconds` unless invalidated first.
  static std::shared_ptr<Timer> scheduledTimer(double seconds, std::shared_ptr<void> target,
                                               std::function<void()> action);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void invalidate();
  // True until the timer has fired or been invalidated.
  bool isValid() const;
  double interval() const { return seconds_; }

 private:
  struct State;
  Timer(double seconds, std::shared_ptr<State> state);

  double seconds_;
  std::shared_ptr<State> state_;
};

}  // namespace platform
