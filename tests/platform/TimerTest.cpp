#include "platform/Timer.h"

#include "platform/RunLoop.h"
#include "tests/support/PlatformTest.h"

using platform::Timer;

namespace {

class TimerTest : public PlatformTest {};

TEST_F(TimerTest, FiresOnceAndThenIsInvalid) {
  int fired = 0;
  auto timer = Timer::scheduledTimer(0.01, std::make_shared<int>(0), [&] { ++fired; });
  EXPECT_TRUE(timer->isValid());
  ASSERT_TRUE(runUntil([&] { return fired == 1; }));
  platform::RunLoop::main().runFor(0.03);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerTest, HoldsItsTargetUntilFiredOrInvalidated) {
  auto target = std::make_shared<int>(0);
  std::weak_ptr<int> weak = target;
  auto timer = Timer::scheduledTimer(10, target, [] {});
  target.reset();
  EXPECT_FALSE(weak.expired());
  timer->invalidate();
  EXPECT_TRUE(weak.expired());
}

TEST_F(TimerTest, DestroyingTheTimerCancelsIt) {
  int fired = 0;
  auto timer = Timer::scheduledTimer(0.01, std::make_shared<int>(0), [&] { ++fired; });
  timer.reset();
  platform::RunLoop::main().runFor(0.05);
  EXPECT_EQ(fired, 0);
}

TEST_F(TimerTest, ActionMayDestroyItsOwnTimer) {
  std::shared_ptr<Timer> timer;
  bool fired = false;
  timer = Timer::scheduledTimer(0, std::make_shared<int>(0), [&] {
    fired = true;
    timer.reset();
  });
  ASSERT_TRUE(runUntil([&] { return fired; }));
  EXPECT_EQ(timer, nullptr);
}

}  // namespace
