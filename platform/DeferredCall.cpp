#include "platform/DeferredCall.h"

namespace platform {

void DeferredCall::schedule(double delaySeconds, RunLoop::Task task) {
  cancel();
  token_ = std::make_shared<int>(0);
  // Cancelled with this object, so the call never finds it gone.
  RunLoop::main().performAfterDelay(token_, delaySeconds, [this, task = std::move(task)] {
    token_.reset();
    task();
  });
}

void DeferredCall::cancel() {
  if (!token_) return;
  RunLoop::main().cancelPerformRequests(token_.get());
  token_.reset();
}

}  // namespace platform
