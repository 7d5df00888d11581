#include "platform/RunLoop.h"

#include <glib.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
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
    GSource* source = nullptr;
  };
  std::uint64_t nextRequestID = 1;
  std::unordered_map<std::uint64_t, Request> requests;
  // Cancelling by target touches only that target's requests.
  std::unordered_multimap<const void*, std::uint64_t> requestsByTarget;

  std::vector<std::shared_ptr<void>> keptAlive;
  GSource* releaseSource = nullptr;

  void forget(std::uint64_t id, const void* target) {
    auto range = requestsByTarget.equal_range(target);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == id) {
        requestsByTarget.erase(it);
        break;
      }
    }
  }
};

namespace {

std::unique_ptr<RunLoop>& mainSlot() {
  return processWide<std::unique_ptr<RunLoop>>();
}

// What a deferred call's GSource carries: never the loop itself, only a weak
// reference to its state, so a source that outlives its loop does nothing.
struct RequestHandle {
  std::weak_ptr<void> state;
  std::uint64_t id;
};

}  // namespace

RunLoop::RunLoop(GMainContext* context, bool ownsContext) : state_(std::make_shared<State>()) {
  state_->context = context;
  state_->ownsContext = ownsContext;
  state_->thread = std::this_thread::get_id();
}

RunLoop::~RunLoop() {
  for (auto& [id, request] : state_->requests) {
    g_source_destroy(request.source);
    g_source_unref(request.source);
  }
  state_->requests.clear();
  state_->requestsByTarget.clear();
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
  const guint milliseconds = delaySeconds <= 0 ? 0 : static_cast<guint>(delaySeconds * 1000.0 + 0.5);
  GSource* source = g_timeout_source_new(milliseconds);
  auto* handle = new RequestHandle{state_, id};
  g_source_set_callback(
      source,
      [](gpointer data) -> gboolean {
        auto* h = static_cast<RequestHandle*>(data);
        auto state = std::static_pointer_cast<State>(h->state.lock());
        if (!state) return G_SOURCE_REMOVE;
        auto it = state->requests.find(h->id);
        if (it == state->requests.end()) return G_SOURCE_REMOVE;
        // Take the request out before running it: the task may cancel or
        // add requests, or release the last other owner of its target.
        State::Request request = std::move(it->second);
        state->requests.erase(it);
        state->forget(h->id, request.target.get());
        g_source_unref(request.source);
        request.task();
        return G_SOURCE_REMOVE;
      },
      handle, [](gpointer data) { delete static_cast<RequestHandle*>(data); });
  state_->requests.emplace(id, State::Request{std::move(target), std::move(task), source});
  state_->requestsByTarget.emplace(key, id);
  g_source_attach(source, state_->context);
}

void RunLoop::cancelPerformRequests(const void* target) {
  std::vector<State::Request> cancelled;
  auto range = state_->requestsByTarget.equal_range(target);
  for (auto it = range.first; it != range.second; ++it) {
    auto request = state_->requests.find(it->second);
    if (request == state_->requests.end()) continue;
    g_source_destroy(request->second.source);
    g_source_unref(request->second.source);
    cancelled.push_back(std::move(request->second));
    state_->requests.erase(request);
  }
  state_->requestsByTarget.erase(target);
  // Targets are released last, after the index is consistent again, since
  // releasing one may run a destructor that cancels more requests.
  cancelled.clear();
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
