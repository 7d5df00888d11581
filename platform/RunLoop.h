// The main run loop, on a GLib main context. Deferred calls (and the timers
// built on them), keep-alive until the end of the current turn, thread
// identity and cross-thread calls.
//
// Deferred calls are kept in one schedule ordered by due time, read against
// the loop's clock: GLib's monotonic clock in the product; in tests, a clock
// that stands still until the test advances it, so a 30-second refresh is
// tested without waiting.
//
// Everything here is used on the main thread unless a comment says otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

struct _GMainContext;

namespace platform {

class RunLoop {
 public:
  using Task = std::function<void()>;

  // The process's main run loop, made on first use on the calling thread,
  // which becomes the main thread. It runs on GLib's default main context.
  static RunLoop& main();
  // Replaces the main run loop with one on a fresh GMainContext, pushed as
  // the calling thread's default, which becomes the main thread. Pending
  // work of the old loop is dropped without running.
  static void resetMainForTesting();

  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  _GMainContext* context() const;

  // Any thread.
  bool isMainThread() const;

  // Runs `task` on this loop after `delaySeconds` (0: on a later turn, never
  // inside this call). The request holds `target` alive until it has run or
  // been cancelled; `target` also names the request for cancellation.
  void performAfterDelay(std::shared_ptr<void> target, double delaySeconds, Task task);
  // Runs `work` on a worker thread (GLib's pool), then `then` on this loop
  // as a request of `target` (so cancelling `target` drops it). `work`
  // must touch nothing the main thread uses. Main thread.
  void performInBackground(std::shared_ptr<void> target, Task work, Task then);
  // Any thread. Runs `work` on a worker thread, and nothing after it.
  static void runOnWorker(Task work);
  // Any thread. Work handed to worker threads that has not finished: tests
  // wait for none before they remove the folders it writes in.
  static int workInFlight();
  // Cancels every pending request made with `target`; none of them runs.
  void cancelPerformRequests(const void* target);
  size_t pendingPerformRequestCount(const void* target) const;

  // Seconds on the loop's clock (monotonic; only differences mean anything).
  double now() const;
  // From now on the loop's clock stands still but for advanceForTesting.
  // Calls already due, and calls made with no delay, still run on a later
  // turn of the loop.
  void useManualTimeForTesting();
  // Back to the real clock; pending calls keep the time they had left.
  void useRealTimeForTesting();
  // Moves the manual clock `seconds` forward, running in due order (calls
  // due at the same time in the order they were made) every deferred call
  // that falls due on the way, those made meanwhile included; the clock
  // reads each call's due time while it runs.
  void advanceForTesting(double seconds);

  // Any thread. Runs `task` on the main thread and returns once it has run.
  // On the main thread it runs at once. Must not be called from a thread the
  // main thread is waiting on.
  void runOnMainAndWait(const Task& task);

  // Holds `object` until the current turn of the loop has ended.
  void keepAliveUntilEndOfTurn(std::shared_ptr<void> object);

  // Turns the loop until `condition` holds (true) or `timeoutSeconds` pass
  // (false). For tests and the application's own waits; never nested in
  // product code.
  bool runUntil(const std::function<bool()>& condition, double timeoutSeconds);
  // Turns the loop for `seconds`.
  void runFor(double seconds);
  // Turns the loop until no source is ready right now.
  void drain();

 private:
  struct State;
  explicit RunLoop(_GMainContext* context, bool ownsContext);

  std::shared_ptr<State> state_;
};

}  // namespace platform
