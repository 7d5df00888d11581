#include "platform/HTTPDate.h"

#include <gtest/gtest.h>

using platform::HTTPDate;

namespace {

TEST(HTTPDateTest, ReadsAllThreeFormsRecipientsMustAccept) {
  constexpr std::time_t kSunday = 784111777;  // 1994-11-06 08:49:37 UTC
  const struct {
    const char* text;
    std::optional<std::time_t> time;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", kSunday},
      {"Sun, 06 Nov 1994 08:49:37", kSunday},
      {"Sunday, 06-Nov-94 08:49:37 GMT", kSunday},
      {"Sunday, 06-Nov-94 08:49:37 ", kSunday},
      {"Sun Nov  6 08:49:37 1994", kSunday},
      {"Sun Nov 6 08:49:37 1994", kSunday},
      {"Sun Nov  6 08:49:37 1994 GMT", kSunday},
      {"Sun, 06 Nov 1994 08:49:37 PST", kSunday + 8 * 3600},
      {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 32 Nov 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
      {"Fri, 31 Dec 9999 23:59:59 GMT", 253402300799},
      // A day past its month's end names no day (curl carried it into the
      // next month: 31 Nov was 1 Dec), in each form.
      {"Fri, 31 Nov 1994 23:59:59 GMT", std::nullopt},
      {"Friday, 31-Nov-94 23:59:59 GMT", std::nullopt},
      {"Fri Nov 31 23:59:59 1994", std::nullopt},
      {"Sun, 29 Feb 1995 00:00:00 GMT", std::nullopt},
      {"Thu, 29 Feb 1996 00:00:00 GMT", 825552000},
      {"Wed, 30 Nov 1994 23:59:59 GMT", 786239999},
      {"Wed, 30 nov 1994 23:59:59 GMT", 786239999},
      // Past the last year the preferred form can write.
      {"Sat, 01 Jan 10000 00:00:00 GMT", std::nullopt},
      {"Fri, 31 Dec 99999999 23:59:59 GMT", std::nullopt},
      {"yesterday", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(HTTPDate::parse(c.text), c.time) << c.text;
}

TEST(HTTPDateTest, TwoDigitYearsAreNeverMoreThanFiftyYearsAhead) {
  // Until 2049, "99" is more than fifty years ahead.
  const auto past = HTTPDate::parse("Friday, 01-Jan-99 00:00:00 GMT");
  ASSERT_TRUE(past);
  EXPECT_EQ(HTTPDate::format(*past), "Fri, 01 Jan 1999 00:00:00 GMT") << "1999, not 2099";
  const auto soon = HTTPDate::parse("Saturday, 01-Jan-28 00:00:00 GMT");
  ASSERT_TRUE(soon);
  EXPECT_EQ(HTTPDate::format(*soon), "Sat, 01 Jan 2028 00:00:00 GMT");
}

// What parse reads, format writes in a form that parse reads back as the
// same time: curl reads no year before 1583, so neither does a zone's
// offset reach back before it.
TEST(HTTPDateTest, EveryDateReadIsOneWrittenAndReadBack) {
  for (const char* text : {"Sat, 01 Jan 1583 00:00:00 GMT", "Sat, 01 Jan 1583 00:00:00 T", "Sat, 01 Jan 1583 00:00:00 +0100",
                           "Sat, 01 Jan 1583 00:00:00 -0100", "Fri, 31 Dec 9999 23:59:59 -0100",
                           "Fri, 31 Dec 9999 23:59:59 +0100"}) {
    const auto time = HTTPDate::parse(text);
    if (!time) continue;
    EXPECT_EQ(HTTPDate::parse(HTTPDate::format(*time)), time) << text << " read as " << HTTPDate::format(*time);
  }
}

TEST(HTTPDateTest, WritesThePreferredForm) {
  EXPECT_EQ(HTTPDate::format(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(HTTPDate::parse(HTTPDate::format(1700000000)), 1700000000);
}

}  // namespace
