// One pending call on the main run loop that its owner replaces or cancels:
// it holds nothing alive, and it is cancelled when its owner lets it go.
// Main thread only.
#pragma once

#include <memory>

#include "platform/RunLoop.h"

namespace platform {

class DeferredCall {
 public:
  DeferredCall() = default;
  ~DeferredCall() { cancel(); }
  DeferredCall(const DeferredCall&) = delete;
  DeferredCall& operator=(const DeferredCall&) = delete;

  // Runs `task` after `delaySeconds`, in place of any call still pending.
  void schedule(double delaySeconds, RunLoop::Task task);
  void cancel();
  // True from schedule until the call has run or been cancelled.
  bool isPending() const { return token_ != nullptr; }

 private:
  // Names the pending call among the run loop's requests.
  std::shared_ptr<int> token_;
};

}  // namespace platform
