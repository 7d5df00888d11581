#include "platform/UTF8.h"

#include <gtest/gtest.h>

namespace {

TEST(UTF8Test, AcceptsWellFormedTextAndRefusesEveryIllFormedShape) {
  const std::pair<std::string, bool> table[] = {
      {"", true},
      {"plain ascii", true},
      {"\xc3\xa9", true},                 // U+00E9
      {"\xe2\x82\xac", true},             // U+20AC
      {"\xf0\x9f\x98\x80", true},         // U+1F600
      {"\xf4\x8f\xbf\xbf", true},         // U+10FFFF
      {std::string("a\0b", 3), true},     // NUL is a character
      {"\x80", false},                    // lone continuation
      {"\xc3", false},                    // truncated
      {"\xc0\xaf", false},                // overlong "/"
      {"\xe0\x80\xaf", false},            // overlong
      {"\xed\xa0\x80", false},            // surrogate U+D800
      {"\xf4\x90\x80\x80", false},        // above U+10FFFF
      {"\xf5\x80\x80\x80", false},        // invalid lead
      {"\xe2\x28\xa1", false},            // bad continuation
  };
  for (const auto& [text, valid] : table) EXPECT_EQ(platform::isValidUTF8(text), valid) << ::testing::PrintToString(text);
}

}  // namespace
