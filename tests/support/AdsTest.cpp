#include "tests/support/AdsTest.h"

#include "platform/Clock.h"
#include "tests/support/AdObjects.h"

void AdsTest::SetUp() {
  PlatformTest::SetUp();
  AdObjects::resetForTesting();
}

void AdsTest::TearDown() {
  AdObjects::resetForTesting();
  platform::Clock::setMonotonicForTesting({});
  platform::Clock::setBootIdentifierForTesting(std::nullopt);
  platform::Clock::setNowForTesting({});
  PlatformTest::TearDown();
}
