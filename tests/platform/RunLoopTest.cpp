#include "platform/RunLoop.h"

#include <atomic>
#include <thread>

#include "tests/support/PlatformTest.h"

using platform::RunLoop;

namespace {

class RunLoopTest : public PlatformTest {};

struct Target {
  explicit Target(int* counter) : destroyed(counter) {}
  ~Target() { ++*destroyed; }
  int* destroyed;
};

TEST_F(RunLoopTest, DeferredCallRunsOnALaterTurnNeverInline) {
  bool ran = false;
  RunLoop::main().performAfterDelay(std::make_shared<int>(0), 0, [&] { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_TRUE(runUntil([&] { return ran; }));
}

TEST_F(RunLoopTest, DeferredCallsRunInDelayOrder) {
  std::vector<int> order;
  auto target = std::make_shared<int>(0);
  RunLoop::main().performAfterDelay(target, 0.05, [&] { order.push_back(2); });
  RunLoop::main().performAfterDelay(target, 0, [&] { order.push_back(1); });
  ASSERT_TRUE(runUntil([&] { return order.size() == 2; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(RunLoopTest, DeferredCallHoldsItsTargetUntilItHasRun) {
  int destroyed = 0;
  auto target = std::make_shared<Target>(&destroyed);
  std::weak_ptr<Target> weak = target;
  bool targetAliveDuringCall = false;
  RunLoop::main().performAfterDelay(target, 0, [&] { targetAliveDuringCall = !weak.expired(); });
  target.reset();
  EXPECT_EQ(destroyed, 0);
  ASSERT_TRUE(runUntil([&] { return destroyed == 1; }));
  EXPECT_TRUE(targetAliveDuringCall);
}

TEST_F(RunLoopTest, CancellingByTargetDropsOnlyThatTargetsCallsAndReleasesIt) {
  int destroyed = 0;
  auto target = std::make_shared<Target>(&destroyed);
  auto other = std::make_shared<int>(0);
  int targetRuns = 0, otherRuns = 0;
  RunLoop::main().performAfterDelay(target, 0, [&] { ++targetRuns; });
  RunLoop::main().performAfterDelay(target, 0.01, [&] { ++targetRuns; });
  RunLoop::main().performAfterDelay(other, 0.01, [&] { ++otherRuns; });
  EXPECT_EQ(RunLoop::main().pendingPerformRequestCount(target.get()), 2u);

  const void* key = target.get();
  target.reset();
  RunLoop::main().cancelPerformRequests(key);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(RunLoop::main().pendingPerformRequestCount(key), 0u);
  ASSERT_TRUE(runUntil([&] { return otherRuns == 1; }));
  RunLoop::main().runFor(0.03);
  EXPECT_EQ(targetRuns, 0);
}

TEST_F(RunLoopTest, ACallMayCancelItsOwnTargetsOtherCalls) {
  auto target = std::make_shared<int>(0);
  int runs = 0;
  RunLoop::main().performAfterDelay(target, 0, [&] {
    ++runs;
    RunLoop::main().cancelPerformRequests(target.get());
  });
  RunLoop::main().performAfterDelay(target, 0.01, [&] { ++runs; });
  RunLoop::main().runFor(0.05);
  EXPECT_EQ(runs, 1);
}

TEST_F(RunLoopTest, KeepAliveLastsUntilTheCurrentTurnEnds) {
  int destroyed = 0;
  bool aliveAtEndOfCall = false;
  RunLoop::main().performAfterDelay(std::make_shared<int>(0), 0, [&] {
    auto object = std::make_shared<Target>(&destroyed);
    RunLoop::main().keepAliveUntilEndOfTurn(object);
    object.reset();
    aliveAtEndOfCall = destroyed == 0;
  });
  ASSERT_TRUE(runUntil([&] { return destroyed == 1; }));
  EXPECT_TRUE(aliveAtEndOfCall);
}

TEST_F(RunLoopTest, MainThreadIsTheOneThatMadeTheLoop) {
  EXPECT_TRUE(RunLoop::main().isMainThread());
  bool onMain = true;
  std::thread([&] { onMain = RunLoop::main().isMainThread(); }).join();
  EXPECT_FALSE(onMain);
}

TEST_F(RunLoopTest, RunOnMainAndWaitRunsOnTheMainThreadBeforeReturning) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> returned{false};
  std::atomic<bool> ranBeforeReturn{false};
  std::thread worker([&] {
    RunLoop::main().runOnMainAndWait([&] { ranOnMain = RunLoop::main().isMainThread(); });
    ranBeforeReturn = ranOnMain.load();
    returned = true;
  });
  EXPECT_TRUE(runUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_TRUE(ranOnMain);
  EXPECT_TRUE(ranBeforeReturn);
}

TEST_F(RunLoopTest, RunUntilReportsATimeout) {
  EXPECT_FALSE(runUntil([] { return false; }, 0.02));
}

}  // namespace
