// The navigation decisions' queue on the real main loop: a slice of each
// window of time for decisions, the loop turning in between, order kept,
// and the oldest pushed out when too many wait.
#include "platform/gtk/GtkDecisionQueue.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/RunLoop.h"

using platform::gtk::GtkDecisionQueue;

namespace {

// A decision that takes `milliseconds` of the main thread.
void busyFor(double milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double, std::milli>(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
  }
}

// The slice is of the loop's time: on a loaded machine a decision may find
// a new window each time, so what is asserted of the timing holds either
// way; the order and the bound do not depend on it.
TEST(GtkDecisionQueueTest, DecisionsTakeASliceOfEachWindowInOrderAndTheLoopTurnsBetween) {
  auto& queue = GtkDecisionQueue::shared();
  auto& loop = platform::RunLoop::main();
  loop.runFor(0.05);  // a window of its own
  std::vector<int> ran;
  int refused = 0;
  int ticks = 0;
  const guint ticker = g_timeout_add(1, [](gpointer count) -> gboolean {
    ++*static_cast<int*>(count);
    return G_SOURCE_CONTINUE;
  }, &ticks);
  constexpr int kDecisions = 40;
  for (int i = 0; i < kDecisions; ++i)
    queue.submit(&ran, [&ran, i] { busyFor(1); ran.push_back(i); }, [&refused] { ++refused; });
  // The first slice ran at once; the rest wait for later windows.
  EXPECT_GE(ran.size(), 1u);
  const bool waited = queue.waiting() > 0;
  EXPECT_EQ(queue.waiting(), kDecisions - ran.size());
  ASSERT_TRUE(loop.runUntil([&] { return ran.size() == kDecisions; }, 5));
  for (int i = 0; i < kDecisions; ++i) EXPECT_EQ(ran[i], i);
  if (waited) {
    EXPECT_GE(ticks, 1) << "the loop turned between slices";
  }
  EXPECT_EQ(refused, 0);
  g_source_remove(ticker);
}

TEST(GtkDecisionQueueTest, WhenTooManyWaitTheOldestArePushedOutAndTheLastAskedIsHeard) {
  auto& queue = GtkDecisionQueue::shared();
  auto& loop = platform::RunLoop::main();
  std::vector<int> ran;
  int refused = 0;
  const int before = queue.refused();
  const int extra = 10;
  queue.holdForTesting(true);
  for (int i = 0; i < static_cast<int>(GtkDecisionQueue::kMaximumWaiting) + extra; ++i)
    queue.submit(&ran, [&ran, i] { ran.push_back(i); }, [&refused] { ++refused; });
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(queue.waiting(), GtkDecisionQueue::kMaximumWaiting);
  EXPECT_EQ(refused, extra);
  EXPECT_EQ(queue.refused() - before, extra);
  queue.holdForTesting(false);
  ASSERT_TRUE(loop.runUntil([&] { return queue.waiting() == 0; }, 5));
  ASSERT_EQ(ran.size(), GtkDecisionQueue::kMaximumWaiting);
  EXPECT_EQ(ran.front(), extra) << "the oldest were pushed out";
  EXPECT_EQ(ran.back(), static_cast<int>(GtkDecisionQueue::kMaximumWaiting) + extra - 1) << "the last asked is heard";
}

// Two pages: one floods, the other asks once. The flood pushes out only
// its own oldest, and the other page's decision runs at its first turn,
// not after the flood.
TEST(GtkDecisionQueueTest, APagesFloodPushesOutOnlyItsOwnAndWaitsItsTurn) {
  auto& queue = GtkDecisionQueue::shared();
  auto& loop = platform::RunLoop::main();
  const int flooder = 0, quiet = 0;
  std::vector<int> ran;
  int floodRefused = 0, quietRefused = 0;
  static constexpr int kQuietDecision = -1;
  queue.holdForTesting(true);
  const int flood = static_cast<int>(GtkDecisionQueue::kMaximumWaiting) + 20;
  for (int i = 0; i < flood; ++i) {
    queue.submit(&flooder, [&ran, i] { ran.push_back(i); }, [&floodRefused] { ++floodRefused; });
    if (i == 10) queue.submit(&quiet, [&ran] { ran.push_back(kQuietDecision); }, [&quietRefused] { ++quietRefused; });
  }
  EXPECT_EQ(queue.waiting(), GtkDecisionQueue::kMaximumWaiting);
  EXPECT_EQ(queue.waitingFor(&quiet), 1u);
  EXPECT_EQ(quietRefused, 0);
  EXPECT_EQ(floodRefused, 21);
  queue.holdForTesting(false);
  ASSERT_TRUE(loop.runUntil([&] { return queue.waiting() == 0; }, 5));
  ASSERT_EQ(ran.size(), GtkDecisionQueue::kMaximumWaiting);
  // Turns alternate while both wait: the quiet page's comes second.
  EXPECT_EQ(ran[1], kQuietDecision);
  EXPECT_EQ(ran.back(), flood - 1) << "the flood's last asked is heard";
}

}  // namespace
