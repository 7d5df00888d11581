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
    queue.submit([&ran, i] { busyFor(1); ran.push_back(i); }, [&refused] { ++refused; });
  // The first slice ran at once; the rest wait for later windows.
  EXPECT_GE(ran.size(), 3u);
  EXPECT_LE(static_cast<double>(ran.size()), GtkDecisionQueue::kSliceMilliseconds + 1);
  EXPECT_EQ(queue.waiting(), kDecisions - ran.size());
  ASSERT_TRUE(loop.runUntil([&] { return ran.size() == kDecisions; }, 5));
  for (int i = 0; i < kDecisions; ++i) EXPECT_EQ(ran[i], i);
  EXPECT_GE(ticks, 5) << "the loop turned between slices";
  EXPECT_EQ(refused, 0);

  // Too many waiting: the oldest go, the last asked is heard.
  ran.clear();
  loop.runFor(0.05);
  queue.submit([] { busyFor(GtkDecisionQueue::kSliceMilliseconds + 1); }, [] {});
  ASSERT_EQ(queue.waiting(), 0u) << "a new window: it ran at once, and used the slice";
  const int before = queue.refused();
  const int extra = 10;
  for (int i = 0; i < static_cast<int>(GtkDecisionQueue::kMaximumWaiting) + extra; ++i)
    queue.submit([&ran, i] { ran.push_back(i); }, [&refused] { ++refused; });
  EXPECT_EQ(refused, extra);
  EXPECT_EQ(queue.refused() - before, extra);
  ASSERT_TRUE(loop.runUntil([&] { return queue.waiting() == 0; }, 5));
  ASSERT_FALSE(ran.empty());
  EXPECT_EQ(ran.front(), extra) << "the oldest were pushed out";
  EXPECT_EQ(ran.back(), static_cast<int>(GtkDecisionQueue::kMaximumWaiting) + extra - 1);
  g_source_remove(ticker);
}

}  // namespace
