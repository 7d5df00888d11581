#include "platform/RedirectTarget.h"

#include <gtest/gtest.h>

#include "platform/URLError.h"

using platform::RedirectTarget;
using platform::URL;
using platform::URLRequest;

namespace {

URLRequest requestFor(const std::string& url, const std::string& method = "GET") {
  URLRequest request(*URL::create(url));
  request.setMethod(method);
  return request;
}

std::string targetOf(const std::string& base, const std::string& location) {
  const auto next = RedirectTarget::next(requestFor(base), 302, location);
  return next ? next->url().absoluteString() : "refused: " + next.error().message;
}

TEST(RedirectTargetTest, ALocationIsResolvedAgainstTheRedirectedURL) {
  const std::string base = "http://ads.example/a/b/c?x=1#f";
  EXPECT_EQ(targetOf(base, "/imp"), "http://ads.example/imp");
  EXPECT_EQ(targetOf(base, "d"), "http://ads.example/a/b/d");
  EXPECT_EQ(targetOf(base, "../d?y=2"), "http://ads.example/a/d?y=2");
  EXPECT_EQ(targetOf(base, "?y=2"), "http://ads.example/a/b/c?y=2");
  EXPECT_EQ(targetOf(base, "//cdn.example/p"), "http://cdn.example/p");
  EXPECT_EQ(targetOf(base, "https://other.example:8443/q"), "https://other.example:8443/q");
}

TEST(RedirectTargetTest, WhatAURLNeverHoldsAsWrittenIsEscapedAsBrowsersDo) {
  EXPECT_EQ(RedirectTarget::escapedAsBrowsersDo("/landing page?q=a b"), "/landing%20page?q=a%20b");
  EXPECT_EQ(RedirectTarget::escapedAsBrowsersDo("/\"<x>`\x01\x7f\xc3\xa9"), "/%22%3Cx%3E%60%01%7F%C3%A9");
  EXPECT_EQ(RedirectTarget::escapedAsBrowsersDo("/already%20escaped?%zz"), "/already%20escaped?%zz");
  EXPECT_EQ(targetOf("http://ads.example/", "/a b\tc"), "http://ads.example/a%20b%09c");
}

TEST(RedirectTargetTest, ALocationThatMakesNoWebURLIsRefused) {
  for (const char* location : {"", "http://", "http:nohost", "https:///path", "http://[::1", "http://h:99999/"}) {
    const auto next = RedirectTarget::next(requestFor("http://ads.example/"), 302, location);
    ASSERT_FALSE(next) << location << " made " << next->url().absoluteString();
    EXPECT_EQ(next.error().code, platform::kURLErrorBadURL);
  }
}

// A click's redirect off the web (a store, a dialler) is where it lands:
// the delegate is shown it, and the transport fetches no such URL.
TEST(RedirectTargetTest, ALocationOffTheWebIsKeptForTheDelegate) {
  EXPECT_EQ(targetOf("https://ads.example/click", "market://details?id=x"), "market://details?id=x");
  EXPECT_EQ(targetOf("https://ads.example/click", "tel:+15550100"), "tel:+15550100");
}

TEST(RedirectTargetTest, TheMethodChangesOnlyWhereTheRFCLetsIt) {
  const struct {
    int status;
    const char* method;
    const char* next;
  } cases[] = {
      {301, "GET", "GET"},   {301, "POST", "GET"},  {301, "PUT", "PUT"},   {301, "HEAD", "HEAD"},
      {302, "POST", "GET"},  {302, "DELETE", "DELETE"},
      {303, "POST", "GET"},  {303, "PUT", "GET"},   {303, "DELETE", "GET"}, {303, "HEAD", "HEAD"},
      {307, "POST", "POST"}, {307, "HEAD", "HEAD"}, {308, "POST", "POST"}, {308, "PUT", "PUT"},
  };
  for (const auto& c : cases) {
    const auto next = RedirectTarget::next(requestFor("http://ads.example/", c.method), c.status, "/next");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->method(), c.next) << c.status << " after " << c.method;
  }
}

TEST(RedirectTargetTest, TheFirstResourcesPreconditionsStayBehindAndTheRestGoesOn) {
  URLRequest request = requestFor("http://ads.example/pixel");
  request.setValueForHTTPHeaderField("Sat, 01 Jan 2026 00:00:00 GMT", "If-Modified-Since");
  request.setValueForHTTPHeaderField("\"v1\"", "if-none-match");
  request.setValueForHTTPHeaderField("Agent/1.0", "User-Agent");
  request.setTimeoutInterval(7);
  request.setShouldHandleCookies(false);
  const auto next = RedirectTarget::next(request, 302, "https://cdn.example/pixel");
  ASSERT_TRUE(next);
  EXPECT_FALSE(next->valueForHTTPHeaderField("If-Modified-Since"));
  EXPECT_FALSE(next->valueForHTTPHeaderField("If-None-Match"));
  EXPECT_EQ(next->valueForHTTPHeaderField("User-Agent"), "Agent/1.0");
  EXPECT_EQ(next->timeoutInterval(), 7);
  EXPECT_FALSE(next->shouldHandleCookies());
}

}  // namespace
