#include "platform/URL.h"

#include <gtest/gtest.h>

using platform::URL;

namespace {

TEST(URLTest, ParsesTheParts) {
  auto url = URL::create("HTTP://Example.test:8080/a%20b/c?x=1&y=%41#top");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->absoluteString(), "HTTP://Example.test:8080/a%20b/c?x=1&y=%41#top");
  EXPECT_EQ(url->scheme(), "http");
  EXPECT_EQ(url->schemeAsWritten(), "HTTP");
  EXPECT_EQ(url->host(), "Example.test");
  EXPECT_EQ(url->port(), 8080);
  EXPECT_EQ(url->path(), "/a b/c");
  EXPECT_EQ(url->query(), "x=1&y=%41");
  EXPECT_EQ(url->fragment(), "top");
}

TEST(URLTest, IPv6LiteralHostHasNoBrackets) {
  auto url = URL::create("http://[::1]:9/p");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->host(), "::1");
  EXPECT_EQ(url->port(), 9);
}

TEST(URLTest, QueryIsAbsentOrEmpty) {
  EXPECT_FALSE(URL::create("http://a/b")->query().has_value());
  EXPECT_EQ(URL::create("http://a/b?")->query(), "");
}

TEST(URLTest, RefusesWhatAWebViewWouldHaveEscapedAndUnsoundAuthorities) {
  for (const char* bad : {"", "http://a b/", "http://a/\"q\"", "http://a/<x>", "http://a/\tx", "http://host:99999/",
                          "caf\xc3\xa9", "http://a/\x7f"}) {
    EXPECT_FALSE(URL::create(bad).has_value()) << bad;
  }
}

// As a web view hands them over: its URL parser leaves these as written.
TEST(URLTest, TakesURLsAsWebViewsHandThemOverByteForByte) {
  for (const char* text : {"http://a/p|q^r?x={1}&y=`z`|^#f", "http://a/100%", "http://a/%zz?x=%4",
                           "http://a/#one#two", "gmsg://zovo/log?msg=a%25b%&c=d\\e"}) {
    const auto url = URL::create(text);
    ASSERT_TRUE(url.has_value()) << text;
    EXPECT_EQ(url->absoluteString(), text);
  }
  EXPECT_EQ(URL::create("http://a/100%")->path(), "/100%") << "no escape: as written";
  EXPECT_EQ(URL::create("http://a/#one#two")->fragment(), "one#two");
  EXPECT_EQ(URL::create("http://a/p|q?x={1}")->query(), "x={1}");
}

TEST(URLTest, RelativeReferencesHaveNoSchemeOrHost) {
  auto url = URL::create("images/a.png?v=2");
  ASSERT_TRUE(url);
  EXPECT_FALSE(url->isAbsolute());
  EXPECT_EQ(url->path(), "images/a.png");
  EXPECT_EQ(url->query(), "v=2");
}

TEST(URLTest, ResolvesAgainstABase) {
  auto base = URL::create("http://a.example/dir/page?q=1");
  ASSERT_TRUE(base);
  EXPECT_EQ(URL::create("/root", *base)->absoluteString(), "http://a.example/root");
  EXPECT_EQ(URL::create("next", *base)->absoluteString(), "http://a.example/dir/next");
  EXPECT_EQ(URL::create("http://b.example/", *base)->absoluteString(), "http://b.example/");
}

}  // namespace
