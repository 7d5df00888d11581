#include "platform/DeferredCall.h"
#include "platform/RunLoop.h"

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Timer.h"
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

namespace {

// ------------------------------------------------------- time tests control

class ManualTimeTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    loop().useManualTimeForTesting();
  }
  static RunLoop& loop() { return RunLoop::main(); }
  std::shared_ptr<int> target = std::make_shared<int>(0);
  std::vector<std::string> ran;
};

TEST_F(ManualTimeTest, DelayedCallsWaitForTheClockNotForTheLoop) {
  loop().performAfterDelay(target, 30, [&] { ran.push_back("30s"); });
  loop().runFor(0.05);
  EXPECT_TRUE(ran.empty()) << "real time does not move the manual clock";
  loop().advanceForTesting(29.9);
  EXPECT_TRUE(ran.empty());
  loop().advanceForTesting(0.1);
  EXPECT_EQ(ran, std::vector<std::string>{"30s"});
}

TEST_F(ManualTimeTest, CallsRunInDueOrderThenOrderOfMakingAndSeeTheirDueTime) {
  const double start = loop().now();
  std::vector<double> clock;
  for (const auto& [name, delay] : std::vector<std::pair<std::string, double>>{{"c", 3}, {"a", 1}, {"b1", 2}, {"b2", 2}})
    loop().performAfterDelay(target, delay, [&, name = name] {
      ran.push_back(name);
      clock.push_back(loop().now() - start);
    });
  loop().advanceForTesting(10);
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b1", "b2", "c"}));
  EXPECT_EQ(clock, (std::vector<double>{1, 2, 2, 3}));
  EXPECT_EQ(loop().now() - start, 10);
}

TEST_F(ManualTimeTest, CallsMadeDuringAnAdvanceRunInItWhenTheyFallDue) {
  loop().performAfterDelay(target, 5, [&] {
    ran.push_back("first");
    loop().performAfterDelay(target, 5, [&] { ran.push_back("chained"); });
    loop().performAfterDelay(target, 50, [&] { ran.push_back("later"); });
  });
  loop().advanceForTesting(12);
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "chained"}));
  EXPECT_EQ(loop().pendingPerformRequestCount(target.get()), 1u);
}

TEST_F(ManualTimeTest, CallsWithNoDelayStillRunOnALaterTurn) {
  loop().performAfterDelay(target, 0, [&] {
    ran.push_back("now");
    loop().performAfterDelay(target, 0, [&] { ran.push_back("next turn"); });
  });
  EXPECT_TRUE(ran.empty());
  ASSERT_TRUE(loop().runUntil([&] { return ran.size() == 1; }, 1));
  EXPECT_EQ(ran, std::vector<std::string>{"now"}) << "not in the same turn";
  ASSERT_TRUE(loop().runUntil([&] { return ran.size() == 2; }, 1));
}

TEST_F(ManualTimeTest, CancelledCallsDoNotRunWhenTheClockPasses) {
  auto other = std::make_shared<int>(0);
  loop().performAfterDelay(target, 1, [&] { ran.push_back("cancelled"); });
  loop().performAfterDelay(other, 2, [&] { ran.push_back("kept"); });
  loop().cancelPerformRequests(target.get());
  loop().advanceForTesting(5);
  EXPECT_EQ(ran, std::vector<std::string>{"kept"});
}

TEST_F(ManualTimeTest, TimersFireOnTheManualClock) {
  int fired = 0;
  auto timer = platform::Timer::scheduledTimer(30, target, [&] { ++fired; });
  loop().advanceForTesting(29);
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(timer->isValid());
  loop().advanceForTesting(1);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timer->isValid());
  auto cancelled = platform::Timer::scheduledTimer(1, target, [&] { ++fired; });
  cancelled->invalidate();
  loop().advanceForTesting(2);
  EXPECT_EQ(fired, 1);
}

}  // namespace

TEST_F(ManualTimeTest, BackOnTheRealClockPendingCallsKeepTheTimeTheyHadLeft) {
  loop().performAfterDelay(target, 1000.1, [&] { ran.push_back("late"); });
  loop().advanceForTesting(1000);  // 0.1 s left
  loop().useRealTimeForTesting();
  EXPECT_TRUE(ran.empty());
  EXPECT_TRUE(loop().runUntil([&] { return !ran.empty(); }, 2.0)) << "it runs on real time again";
}

TEST_F(ManualTimeTest, ADeferredCallIsReplacedByTheNextOneAndCancelledWithItsOwner) {
  {
    platform::DeferredCall call;
    call.schedule(5, [&] { ran.push_back("first"); });
    call.schedule(10, [&] { ran.push_back("second"); });
    EXPECT_TRUE(call.isPending());
    loop().advanceForTesting(10);
    EXPECT_EQ(ran, std::vector<std::string>{"second"}) << "the first was replaced";
    EXPECT_FALSE(call.isPending());
    call.schedule(1, [&] { ran.push_back("dropped"); });
  }
  loop().advanceForTesting(5);
  EXPECT_EQ(ran, std::vector<std::string>{"second"}) << "cancelled when its owner went";
}
