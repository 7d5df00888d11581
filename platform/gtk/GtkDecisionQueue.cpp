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
  if (!held_ && !waiting_.empty()) armDrain();
}

void GtkDecisionQueue::submit(Decision decide, Decision refuse) {
  if (!held_ && waiting_.empty() && sliceLeft()) {
    run(decide);
    return;
  }
  if (waiting_.size() >= kMaximumWaiting) {
    Waiting oldest = std::move(waiting_.front());
    waiting_.pop_front();
    ++refused_;
    oldest.refuse();
  }
  waiting_.push_back(Waiting{std::move(decide), std::move(refuse)});
  armDrain();
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
  while (!self->held_ && !self->waiting_.empty() && self->sliceLeft()) {
    Decision decide = std::move(self->waiting_.front().decide);
    self->waiting_.pop_front();
    self->run(decide);
  }
  g_source_unref(self->drain_);
  self->drain_ = nullptr;
  if (!self->waiting_.empty() && !self->held_) self->armDrain();
  return G_SOURCE_REMOVE;
}

}  // namespace platform::gtk
