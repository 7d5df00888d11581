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

TEST(URLTest, RefusesInvalidText) {
  for (const char* bad : {"", "http://a b/", "http://a/%zz", "http://a/%4", "http://a/\"q\"", "http://a/<x>",
                          "http://a/#one#two", "http://host:99999/", "caf\xc3\xa9"}) {
    EXPECT_FALSE(URL::create(bad).has_value()) << bad;
  }
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
