// The base fixture of ad-client tests: PlatformTest, plus fresh process-wide
// ad objects (statistics, device identity, network checker, signals, user
// agent) before and after each test, and user defaults kept in memory.
#pragma once

#include "tests/support/PlatformTest.h"

class AdsTest : public PlatformTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};
