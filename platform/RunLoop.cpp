#include "platform/RunLoop.h"

#include <gio/gio.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>
#include "platform/ProcessWide.h"

namespace platform {

struct RunLoop::State {
  GMainContext* context = nullptr;
  bool ownsContext = false;
  std::thread::id thread;

  struct Request {
    std::shared_ptr<void> target;
    Task task;
    double due = 0;
  };
  std::uint64_t nextRequestID = 1;
  std::unordered_map<std::uint64_t, Request> requests;
  // Due time, then the order of making: what runs next is first.
  std::set<std::pair<double, std::uint64_t>> schedule;
  // Cancelling by target touches only that target's requests.
  std::unordered_multimap<const void*, std::uint64_t> requestsByTarget;
  // One GLib source wakes the loop for the first due request.
  GSource* wakeup = nullptr;
  double wakeupDue = 0;

  bool manualTime = false;
  double manualNow = 0;

  std::vector<std::shared_ptr<void>> keptAlive;
  GSource* releaseSource = nullptr;

  double now() const { return manualTime ? manualNow : static_cast<double>(g_get_monotonic_time()) / 1e6; }

  void forget(std::uint64_t id, const void* target) {
    auto range = requestsByTarget.equal_range(target);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == id) {
        requestsByTarget.erase(it);
        break;
      }
    }
  }

  // Takes a request out of every index; the caller runs or drops it.
  Request take(std::uint64_t id) {
    auto it = requests.find(id);
    Request request = std::move(it->second);
    requests.erase(it);
    schedule.erase({request.due, id});
    forget(id, request.target.get());
    return request;
  }

  void disarm() {
    if (!wakeup) return;
    g_source_destroy(wakeup);
    g_source_unref(wakeup);
    wakeup = nullptr;
  }

  // Points the wake-up at the first due request; under manual time only a
  // request already due wakes the loop.
  void arm(const std::shared_ptr<State>& self) {
    if (schedule.empty()) {
      disarm();
      return;
    }
    const double due = schedule.begin()->first;
    if (wakeup && wakeupDue <= due) return;
    disarm();
    const double delay = due - now();
    if (manualTime && delay > 0) return;
    const guint milliseconds = delay <= 0 ? 0 : static_cast<guint>(std::ceil(delay * 1000.0));
    wakeup = g_timeout_source_new(milliseconds);
    wakeupDue = due;
    g_source_set_callback(
        wakeup,
        [](gpointer data) -> gboolean {
          auto state = std::static_pointer_cast<State>(static_cast<std::weak_ptr<void>*>(data)->lock());
          if (state) state->wake(state);
          return G_SOURCE_REMOVE;
        },
        new std::weak_ptr<void>(self), [](gpointer data) { delete static_cast<std::weak_ptr<void>*>(data); });
    g_source_attach(wakeup, context);
  }

  // Runs the requests due now, but not those they make: a call made with no
  // delay runs on a later turn, as if it had a source of its own.
  void wake(const std::shared_ptr<State>& self) {
    g_source_unref(wakeup);
    wakeup = nullptr;
    const double time = now();
    std::vector<std::uint64_t> due;
    for (const auto& [when, id] : schedule) {
      if (when > time) break;
      due.push_back(id);
    }
    for (std::uint64_t id : due) {
      if (!requests.count(id)) continue;  // cancelled by an earlier one
      Request request = take(id);
      request.task();
    }
    arm(self);
  }
};

namespace {

std::unique_ptr<RunLoop>& mainSlot() {
  return processWide<std::unique_ptr<RunLoop>>();
}

}  // namespace

RunLoop::RunLoop(GMainContext* context, bool ownsContext) : state_(std::make_shared<State>()) {
  state_->context = context;
  state_->ownsContext = ownsContext;
  state_->thread = std::this_thread::get_id();
}

RunLoop::~RunLoop() {
  state_->disarm();
  // Targets go after the indexes are empty: a target's destructor may
  // cancel more requests.
  auto dropped = std::move(state_->requests);
  state_->requests.clear();
  state_->schedule.clear();
  state_->requestsByTarget.clear();
  dropped.clear();
  if (state_->releaseSource) {
    g_source_destroy(state_->releaseSource);
    g_source_unref(state_->releaseSource);
  }
  state_->keptAlive.clear();
  if (state_->ownsContext) {
    g_main_context_pop_thread_default(state_->context);
    g_main_context_unref(state_->context);
  }
}

RunLoop& RunLoop::main() {
  auto& slot = mainSlot();
  if (!slot) slot.reset(new RunLoop(g_main_context_default(), false));
  return *slot;
}

void RunLoop::resetMainForTesting() {
  auto& slot = mainSlot();
  slot.reset();
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  slot.reset(new RunLoop(context, true));
}

GMainContext* RunLoop::context() const { return state_->context; }

bool RunLoop::isMainThread() const { return std::this_thread::get_id() == state_->thread; }

void RunLoop::performAfterDelay(std::shared_ptr<void> target, double delaySeconds, Task task) {
  const std::uint64_t id = state_->nextRequestID++;
  const void* key = target.get();
  const double due = state_->now() + (delaySeconds > 0 ? delaySeconds : 0);
  state_->requests.emplace(id, State::Request{std::move(target), std::move(task), due});
  state_->schedule.emplace(due, id);
  state_->requestsByTarget.emplace(key, id);
  state_->arm(state_);
}

namespace {

std::atomic<int>& workers() {
  static auto* count = new std::atomic<int>(0);  // workers may outlive static destruction
  return *count;
}

}  // namespace

int RunLoop::workInFlight() { return workers().load(); }

void RunLoop::runOnWorker(Task work) {
  GTask* task = g_task_new(nullptr, nullptr, nullptr, nullptr);
  g_task_set_task_data(task, new Task(std::move(work)), [](gpointer data) { delete static_cast<Task*>(data); });
  ++workers();
  g_task_run_in_thread(task, [](GTask*, gpointer, gpointer data, GCancellable*) {
    (*static_cast<Task*>(data))();
    --workers();
  });
  g_object_unref(task);
}

void RunLoop::performInBackground(std::shared_ptr<void> target, Task work, Task then) {
  struct Job {
    std::shared_ptr<void> target;
    Task work, then;
    std::weak_ptr<State> loop;
  };
  // The task's callback runs on the thread-default context of this
  // thread: the loop's own.
  GTask* task = g_task_new(nullptr, nullptr, [](GObject*, GAsyncResult* result, gpointer) {
    auto* job = static_cast<Job*>(g_task_get_task_data(G_TASK(result)));
    // Dropped when the loop it was asked on has been replaced.
    auto state = job->loop.lock();
    if (state && mainSlot() && mainSlot()->state_ == state)
      mainSlot()->performAfterDelay(std::move(job->target), 0, std::move(job->then));
  }, nullptr);
  g_task_set_task_data(task, new Job{std::move(target), std::move(work), std::move(then), state_},
                       [](gpointer job) { delete static_cast<Job*>(job); });
  ++workers();
  g_task_run_in_thread(task, [](GTask*, gpointer, gpointer data, GCancellable*) {
    static_cast<Job*>(data)->work();
    --workers();
  });
  g_object_unref(task);
}

void RunLoop::cancelPerformRequests(const void* target) {
  std::vector<State::Request> cancelled;
  std::vector<std::uint64_t> ids;
  auto range = state_->requestsByTarget.equal_range(target);
  for (auto it = range.first; it != range.second; ++it) ids.push_back(it->second);
  for (std::uint64_t id : ids)
    if (state_->requests.count(id)) cancelled.push_back(state_->take(id));
  // Targets are released last, after the index is consistent again, since
  // releasing one may run a destructor that cancels more requests.
  cancelled.clear();
}

double RunLoop::now() const { return state_->now(); }

void RunLoop::useManualTimeForTesting() {
  state_->manualNow = state_->now();
  state_->manualTime = true;
  state_->disarm();
  state_->arm(state_);
}

void RunLoop::useRealTimeForTesting() {
  if (!state_->manualTime) return;
  state_->manualTime = false;
  const double offset = state_->now() - state_->manualNow;
  decltype(state_->schedule) rebased;
  for (const auto& [due, id] : state_->schedule) {
    state_->requests.at(id).due = due + offset;
    rebased.emplace(due + offset, id);
  }
  state_->schedule = std::move(rebased);
  state_->disarm();
  state_->arm(state_);
}

void RunLoop::advanceForTesting(double seconds) {
  if (!state_->manualTime) useManualTimeForTesting();
  const double end = state_->manualNow + (seconds > 0 ? seconds : 0);
  while (!state_->schedule.empty() && state_->schedule.begin()->first <= end) {
    const auto [due, id] = *state_->schedule.begin();
    state_->manualNow = std::max(state_->manualNow, due);
    State::Request request = state_->take(id);
    request.task();
  }
  state_->manualNow = end;
  state_->disarm();
  state_->arm(state_);
}

size_t RunLoop::pendingPerformRequestCount(const void* target) const {
  return state_->requestsByTarget.count(target);
}

void RunLoop::runOnMainAndWait(const Task& task) {
  if (isMainThread()) {
    task();
    return;
  }
  struct Call {
    const Task* task;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
  } call{&task};
  g_main_context_invoke_full(
      state_->context, G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* c = static_cast<Call*>(data);
        (*c->task)();
        std::lock_guard lock(c->mutex);
        c->finished = true;
        c->done.notify_one();
        return G_SOURCE_REMOVE;
      },
      &call, nullptr);
  std::unique_lock lock(call.mutex);
  call.done.wait(lock, [&] { return call.finished; });
}

void RunLoop::keepAliveUntilEndOfTurn(std::shared_ptr<void> object) {
  state_->keptAlive.push_back(std::move(object));
  if (state_->releaseSource) return;
  // A source added now is not among those this turn dispatches, so it runs
  // on the next turn, after the current one has ended.
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_HIGH);
  g_source_set_callback(
      source,
      [](gpointer data) -> gboolean {
        auto state = std::static_pointer_cast<State>(static_cast<std::weak_ptr<void>*>(data)->lock());
        if (!state) return G_SOURCE_REMOVE;
        g_source_unref(state->releaseSource);
        state->releaseSource = nullptr;
        auto released = std::move(state->keptAlive);
        state->keptAlive.clear();
        released.clear();
        return G_SOURCE_REMOVE;
      },
      new std::weak_ptr<void>(state_), [](gpointer data) { delete static_cast<std::weak_ptr<void>*>(data); });
  state_->releaseSource = source;
  g_source_attach(source, state_->context);
}

bool RunLoop::runUntil(const std::function<bool()>& condition, double timeoutSeconds) {
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(timeoutSeconds * 1e6);
  // A short periodic wake-up so that a blocking turn notices the deadline.
  GSource* tick = g_timeout_source_new(5);
  g_source_set_callback(tick, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
  g_source_attach(tick, state_->context);
  bool satisfied = false;
  while (!(satisfied = condition()) && g_get_monotonic_time() < deadline) {
    g_main_context_iteration(state_->context, TRUE);
  }
  g_source_destroy(tick);
  g_source_unref(tick);
  return satisfied;
}

void RunLoop::runFor(double seconds) {
  runUntil([] { return false; }, seconds);
}

void RunLoop::drain() {
  while (g_main_context_iteration(state_->context, FALSE)) {
  }
}

}  // namespace platform
