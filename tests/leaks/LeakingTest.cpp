// A passing test whose code leaks: run through the leak rule, which must
// fail it (the rule's own check, against a live sanitizer report).
#include <gtest/gtest.h>

namespace {

int* volatile escaped = nullptr;

TEST(LeakingTest, LosesAnAllocationOfItsOwn) {
  escaped = new int[16]{7};
  EXPECT_EQ(escaped[0], 7);
  escaped = nullptr;
}

}  // namespace
