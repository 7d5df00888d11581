// The navigation decisions of every page, handled a slice of the main loop
// at a time. A page decides how many navigations it asks for (message URLs
// from frames and timers, as fast as it likes); the main loop must still
// draw, take input and hear the next page. In any window of
// kWindowMilliseconds, decisions get kSliceMilliseconds: they run at once
// while none waits and the window has time left; the rest wait, in order,
// for the next window, and the loop does its other work in between. Pages
// take turns: each waiting page has one decision run per turn, in the
// order it asked, so one page's flood never holds up another's. When too
// many wait, the oldest decision of the page with the most waiting is
// refused (its navigation ignored) to make room: what a page asks for
// last, its "close" after a flood, is heard, and a flood pushes out only
// its own page's decisions.
//
// WebKit lets a decision be made later: a page's navigation waits for it.
// Main thread only.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>

struct _GSource;

namespace platform::gtk {

class GtkDecisionQueue {
 public:
  using Decision = std::function<void()>;
  // The page a decision is for (its web view): only a key, never read.
  using Page = const void*;
  // Time for decisions in each window of the main loop's time, and how
  // many may wait.
  static constexpr double kWindowMilliseconds = 8;
  static constexpr double kSliceMilliseconds = 4;
  static constexpr size_t kMaximumWaiting = 512;

  static GtkDecisionQueue& shared();

  // Runs `decide` now or later (see above), or `refuse` if it is pushed out.
  void submit(Page page, Decision decide, Decision refuse);
  size_t waiting() const { return waitingCount_; }
  size_t waitingFor(Page page) const;
  // While held, every decision waits, as if the loop's time were spent.
  void holdForTesting(bool held);
  int refused() const { return refused_; }

 private:
  GtkDecisionQueue() = default;
  bool sliceLeft();
  void run(Decision& decide);
  void armDrain();
  static int drain(void* self);

  void pushOutOne(Page asking);

  struct Waiting {
    Decision decide, refuse;
  };
  std::map<Page, std::deque<Waiting>> waiting_;  // no page has an empty one
  std::deque<Page> turns_;                        // each waiting page once
  size_t waitingCount_ = 0;
  double windowStart_ = -1;  // milliseconds on the monotonic clock
  double spentInWindow_ = 0;
  _GSource* drain_ = nullptr;
  int refused_ = 0;
  bool held_ = false;
};

}  // namespace platform::gtk
