#include "platform/gtk/GtkDecisionQueue.h"

#include <glib.h>

#include <algorithm>

#include "platform/RunLoop.h"

namespace platform::gtk {

namespace {

double nowMilliseconds() { return static_cast<double>(g_get_monotonic_time()) / 1000.0; }

}  // namespace

GtkDecisionQueue& GtkDecisionQueue::shared() {
  static GtkDecisionQueue queue;
  return queue;
}

bool GtkDecisionQueue::sliceLeft() {
  const double now = nowMilliseconds();
  if (windowStart_ < 0 || now - windowStart_ >= kWindowMilliseconds) {
    windowStart_ = now;
    spentInWindow_ = 0;
  }
  return spentInWindow_ < kSliceMilliseconds;
}

void GtkDecisionQueue::run(Decision& decide) {
  const double start = nowMilliseconds();
  decide();
  spentInWindow_ += nowMilliseconds() - start;
}

void GtkDecisionQueue::holdForTesting(bool held) {
  held_ = held;
  if (!held_ && waitingCount_ > 0) armDrain();
}

size_t GtkDecisionQueue::waitingFor(Page page) const {
  const auto found = waiting_.find(page);
  return found == waiting_.end() ? 0 : found->second.size();
}

void GtkDecisionQueue::submit(Page page, Decision decide, Decision refuse) {
  if (!held_ && waitingCount_ == 0 && sliceLeft()) {
    run(decide);
    return;
  }
  if (waitingCount_ >= kMaximumWaiting) pushOutOne(page);
  auto& queue = waiting_[page];
  if (queue.empty()) turns_.push_back(page);
  queue.push_back(Waiting{std::move(decide), std::move(refuse)});
  ++waitingCount_;
  armDrain();
}

// The page that asks the most pays: the asking page wins a tie, so a page
// can push out only its own while it floods alone.
void GtkDecisionQueue::pushOutOne(Page asking) {
  Page heaviest = asking;
  size_t most = waitingFor(asking);
  for (const auto& [page, queue] : waiting_) {
    if (queue.size() > most) {
      heaviest = page;
      most = queue.size();
    }
  }
  if (most == 0) return;
  auto& queue = waiting_[heaviest];
  Waiting oldest = std::move(queue.front());
  queue.pop_front();
  --waitingCount_;
  if (queue.empty()) {
    waiting_.erase(heaviest);
    std::erase(turns_, heaviest);
  }
  ++refused_;
  oldest.refuse();
}

// At the start of the next window: a timeout, not an idle, so that the
// loop draws and takes input meanwhile.
void GtkDecisionQueue::armDrain() {
  if (drain_) return;
  const double left = windowStart_ < 0 ? 0 : kWindowMilliseconds - (nowMilliseconds() - windowStart_);
  drain_ = g_timeout_source_new(static_cast<guint>(std::clamp(left, 1.0, kWindowMilliseconds)));
  g_source_set_callback(drain_, &GtkDecisionQueue::drain, this, nullptr);
  g_source_attach(drain_, RunLoop::main().context());
}

int GtkDecisionQueue::drain(void* data) {
  auto* self = static_cast<GtkDecisionQueue*>(data);
  while (!self->held_ && self->waitingCount_ > 0 && self->sliceLeft()) {
    const Page page = self->turns_.front();
    self->turns_.pop_front();
    auto& queue = self->waiting_[page];
    Decision decide = std::move(queue.front().decide);
    queue.pop_front();
    --self->waitingCount_;
    if (queue.empty()) {
      self->waiting_.erase(page);
    } else {
      self->turns_.push_back(page);
    }
    // The decision may submit another: the queue is in order before it runs.
    self->run(decide);
  }
  g_source_unref(self->drain_);
  self->drain_ = nullptr;
  if (self->waitingCount_ > 0 && !self->held_) self->armDrain();
  return G_SOURCE_REMOVE;
}

}  // namespace platform::gtk
