#include "platform/HTTPHeaderParser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>

#include "platform/HTTPResponse.h"
#include "platform/URLError.h"

using platform::HTTPHeaderParser;
using Step = HTTPHeaderParser::Step;

namespace {

// Feeds the lines as curl hands them over; the step of the last one.
Step feed(HTTPHeaderParser& parser, std::initializer_list<std::string> lines) {
  Step step = Step::Continue;
  for (const auto& line : lines) step = parser.take(line);
  return step;
}

std::string field(const HTTPHeaderParser& parser, const std::string& name) {
  return platform::headerFieldValue(parser.fields(), name).value_or("(none)");
}

TEST(HTTPHeaderParserTest, ReadsAStatusLineAndFieldsUntilTheBlankLine) {
  HTTPHeaderParser parser;
  const std::initializer_list<std::string> lines = {"HTTP/1.1 200 OK\r\n", "Content-Type: text/html\r\n",
                                                   "X-Spaced :  padded \t\r\n"};
  EXPECT_EQ(feed(parser, lines), Step::Continue);
  EXPECT_FALSE(parser.headComplete());
  EXPECT_EQ(parser.take("\r\n"), Step::HeadComplete);
  EXPECT_TRUE(parser.headComplete());
  EXPECT_EQ(parser.status(), 200);
  EXPECT_EQ(field(parser, "content-type"), "text/html");
  EXPECT_EQ(field(parser, "X-Spaced"), "padded");
  size_t bytes = 2;
  for (const auto& line : lines) bytes += line.size();
  EXPECT_EQ(parser.bytes(), bytes);
}

TEST(HTTPHeaderParserTest, ReadsHTTP2sStatusLineAndLowerCaseFields) {
  HTTPHeaderParser parser;
  EXPECT_EQ(feed(parser, {"HTTP/2 302 \r\n", "location: /next\r\n", "\r\n"}), Step::HeadComplete);
  EXPECT_EQ(parser.status(), 302);
  EXPECT_EQ(field(parser, "Location"), "/next");
}

TEST(HTTPHeaderParserTest, AnInterimAnswerIsForgottenWhenTheFinalOneStarts) {
  HTTPHeaderParser parser;
  EXPECT_EQ(feed(parser, {"HTTP/1.1 100 Continue\r\n", "X-Interim: yes\r\n", "\r\n"}), Step::Continue);
  EXPECT_FALSE(parser.headComplete());
  EXPECT_EQ(feed(parser, {"HTTP/1.1 103 Early Hints\r\n", "Link: </a.css>\r\n", "Set-Cookie: early=1\r\n", "\r\n"}),
            Step::Continue);
  EXPECT_EQ(feed(parser, {"HTTP/1.1 204 No Content\r\n", "X-Final: yes\r\n", "\r\n"}), Step::HeadComplete);
  EXPECT_EQ(parser.status(), 204);
  EXPECT_EQ(field(parser, "X-Final"), "yes");
  EXPECT_EQ(field(parser, "X-Interim"), "(none)");
  EXPECT_EQ(field(parser, "Link"), "(none)");
  EXPECT_TRUE(parser.cookies().empty());
}

TEST(HTTPHeaderParserTest, RepeatedFieldsAreJoinedAndEveryCookieIsKept) {
  HTTPHeaderParser parser;
  feed(parser, {"HTTP/1.1 200 OK\r\n", "Cache-Control: no-store\r\n", "Set-Cookie: a=1; Path=/\r\n",
                "Cache-Control: private\r\n", "set-cookie: b=2, c\r\n", "\r\n"});
  EXPECT_EQ(field(parser, "Cache-Control"), "no-store, private");
  EXPECT_EQ(parser.cookies(), (std::vector<std::string>{"a=1; Path=/", "b=2, c"}));
}

TEST(HTTPHeaderParserTest, WhatFollowsTheHeadIsCountedButNeverRead) {
  HTTPHeaderParser parser;
  feed(parser, {"HTTP/1.1 200 OK\r\n", "X-Early: yes\r\n", "\r\n"});
  const size_t before = parser.bytes();
  EXPECT_EQ(feed(parser, {"X-Late: trailer\r\n", "Set-Cookie: late=1\r\n", "HTTP/1.1 302 Found\r\n",
                          "Location: /elsewhere\r\n", "\r\n"}),
            Step::Continue);
  EXPECT_EQ(parser.status(), 200);
  EXPECT_EQ(field(parser, "X-Early"), "yes");
  EXPECT_EQ(field(parser, "X-Late"), "(none)");
  EXPECT_EQ(field(parser, "Location"), "(none)");
  EXPECT_TRUE(parser.cookies().empty());
  EXPECT_GT(parser.bytes(), before);
}

TEST(HTTPHeaderParserTest, AHeaderSectionPastTheBoundFailsAndStaysFailed) {
  HTTPHeaderParser parser;
  parser.take("HTTP/1.1 200 OK\r\n");
  const std::string line = "X-Filler: " + std::string(1000, 'x') + "\r\n";
  Step step = Step::Continue;
  size_t lines = 0;
  while (step == Step::Continue && lines < 1000) {
    step = parser.take(line);
    ++lines;
  }
  EXPECT_EQ(step, Step::Failed);
  EXPECT_EQ(lines, (HTTPHeaderParser::kMaximumBytes - 17) / line.size() + 1);
  ASSERT_TRUE(parser.failure());
  EXPECT_EQ(parser.failure()->code, platform::kURLErrorCannotParseResponse);
  EXPECT_EQ(parser.take("\r\n"), Step::Failed);
  EXPECT_FALSE(parser.headComplete());
}

TEST(HTTPHeaderParserTest, TrailersCountTowardsTheBound) {
  HTTPHeaderParser parser;
  feed(parser, {"HTTP/1.1 200 OK\r\n", "\r\n"});
  const std::string line = "X-Late: " + std::string(64 * 1024, 'x') + "\r\n";
  EXPECT_EQ(feed(parser, {line, line, line, line}), Step::Failed);
}

TEST(HTTPHeaderParserTest, AStatusCodeIsExactlyThreeDigits) {
  const struct {
    const char* line;
    std::optional<int> code;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n", 200},
      {"HTTP/1.0 404 Not Found\r\n", 404},
      {"HTTP/1.1 200\r\n", 200},
      {"HTTP/1.1 200", 200},
      {"HTTP/2 204 \r\n", 204},
      {"HTTP/1.1 999 Odd\r\n", 999},
      {"HTTP/1.1 100 Continue\r\n", 100},
      {"HTTP/1.1 099 Low\r\n", std::nullopt},
      {"HTTP/1.1 000 Zero\r\n", std::nullopt},
      {"HTTP/1.1 abc OK\r\n", std::nullopt},
      {"HTTP/1.1 2000 OK\r\n", std::nullopt},
      {"HTTP/1.1 -20 OK\r\n", std::nullopt},
      {"HTTP/1.1 +20 OK\r\n", std::nullopt},
      {"HTTP/1.1 20 OK\r\n", std::nullopt},
      {"HTTP/1.1 200x OK\r\n", std::nullopt},
      {"HTTP/1.1  200 OK\r\n", std::nullopt},
      {"HTTP/1.1\r\n", std::nullopt},
      {"HTTP/1.1 \r\n", std::nullopt},
      {"HTTP/1.1 ٢٠٠ OK\r\n", std::nullopt},
      {"http/1.1 200 OK\r\n", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(HTTPHeaderParser::statusCode(c.line), c.code) << c.line;
}

TEST(HTTPHeaderParserTest, AMalformedStatusLineFailsTheAnswer) {
  for (const char* line : {"HTTP/1.1 abc OK\r\n", "HTTP/1.1 2000 OK\r\n", "HTTP/1.1 -20 OK\r\n"}) {
    HTTPHeaderParser parser;
    EXPECT_EQ(parser.take(line), Step::Failed) << line;
    ASSERT_TRUE(parser.failure());
    EXPECT_EQ(parser.failure()->code, platform::kURLErrorCannotParseResponse);
    EXPECT_EQ(parser.status(), 0);
  }
  // After an interim answer too: the final answer's status line is read as
  // strictly.
  HTTPHeaderParser parser;
  EXPECT_EQ(feed(parser, {"HTTP/1.1 100 Continue\r\n", "\r\n", "HTTP/1.1 20x OK\r\n"}), Step::Failed);
}

TEST(HTTPHeaderParserTest, NothingComesBeforeTheStatusLine) {
  HTTPHeaderParser blank;
  EXPECT_EQ(blank.take("\r\n"), Step::Failed);
  HTTPHeaderParser field;
  EXPECT_EQ(field.take("Location: /x\r\n"), Step::Failed);
  EXPECT_FALSE(field.headComplete());
}

TEST(HTTPHeaderParserTest, FieldsHoldNoLineBreakOrNul) {
  HTTPHeaderParser parser;
  feed(parser, {"HTTP/1.1 200 OK\r\n", std::string("X-Odd: a\rb\0c\r\n", 14), "X\rName: v\r\n", "no colon here\r\n",
                ": nameless\r\n", "\r\n"});
  EXPECT_EQ(field(parser, "X-Odd"), "a b c");
  EXPECT_EQ(field(parser, "X Name"), "v");
  EXPECT_EQ(parser.fields().size(), 2u);
}

// A header section of one field repeated to the bound (64,000 empty
// values, each joined to the last) is read in time that grows with its
// size: joining copied the whole value each time, gigabytes of copying on
// the main loop for 256 KiB from a server.
TEST(HTTPHeaderParserTest, AFieldRepeatedToTheBoundIsJoinedInLinearTime) {
  HTTPHeaderParser parser;
  parser.take("HTTP/1.1 200 OK\r\n");
  const auto start = std::chrono::steady_clock::now();
  size_t lines = 0;
  while (parser.bytes() + 4 + 2 <= HTTPHeaderParser::kMaximumBytes) {
    ASSERT_EQ(parser.take("a:\r\n"), Step::Continue);
    ++lines;
  }
  EXPECT_EQ(parser.take("\r\n"), Step::HeadComplete);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(field(parser, "a").size(), (lines - 1) * 2);
  EXPECT_LT(seconds, 2.0) << lines << " lines";
}

}  // namespace
