#include "platform/PageCapabilities.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/WebView.h"
#include "tests/support/PlatformTest.h"

using platform::CapabilityAnswer;
using platform::PageCapabilities;
using platform::PageCapability;
using platform::WebProcessGroup;

namespace {

constexpr auto Ads = WebProcessGroup::Ads;
constexpr auto Browsing = WebProcessGroup::Browsing;
constexpr auto Refused = CapabilityAnswer::Refused;
constexpr auto Granted = CapabilityAnswer::Granted;
constexpr auto PageItemsOnly = CapabilityAnswer::PageItemsOnly;

// Every request, every kind of page, with and without the user's
// activation: the answer, and whether the activation was taken for it.
struct Case {
  PageCapability capability;
  WebProcessGroup group;
  bool activation;
  CapabilityAnswer expected;
  bool consumes;
};

constexpr Case kCases[] = {
    {PageCapability::Download, Ads, false, Refused, false},
    {PageCapability::Download, Ads, true, Refused, false},
    {PageCapability::Download, Browsing, false, Refused, false},
    {PageCapability::Download, Browsing, true, Granted, true},
    {PageCapability::Print, Ads, false, Refused, false},
    {PageCapability::Print, Ads, true, Refused, false},
    {PageCapability::Print, Browsing, false, Refused, false},
    {PageCapability::Print, Browsing, true, Granted, true},
    {PageCapability::Permission, Ads, true, Refused, false},
    {PageCapability::Permission, Browsing, true, Refused, false},
    {PageCapability::PermissionQuery, Ads, true, Refused, false},
    {PageCapability::PermissionQuery, Browsing, true, Refused, false},
    {PageCapability::Fullscreen, Ads, true, Refused, false},
    {PageCapability::Fullscreen, Browsing, true, Refused, false},
    {PageCapability::FileChooser, Ads, true, Refused, false},
    {PageCapability::FileChooser, Browsing, true, Refused, false},
    {PageCapability::ColorChooser, Ads, true, Refused, false},
    {PageCapability::ColorChooser, Browsing, false, Granted, false},
    {PageCapability::OptionMenu, Ads, true, Refused, false},
    {PageCapability::OptionMenu, Browsing, false, Granted, false},
    {PageCapability::ContextMenu, Ads, true, Refused, false},
    {PageCapability::ContextMenu, Browsing, false, PageItemsOnly, false},
    {PageCapability::Notification, Ads, true, Refused, false},
    {PageCapability::Notification, Browsing, true, Refused, false},
    {PageCapability::Authentication, Ads, true, Refused, false},
    {PageCapability::Authentication, Browsing, true, Refused, false},
    {PageCapability::CertificateException, Ads, true, Refused, false},
    {PageCapability::CertificateException, Browsing, true, Refused, false},
    {PageCapability::NewWindow, Ads, true, Refused, false},
    {PageCapability::NewWindow, Browsing, true, Refused, false},
    {PageCapability::CloseWindow, Ads, true, Refused, false},
    {PageCapability::CloseWindow, Browsing, true, Refused, false},
    {PageCapability::UserMessage, Ads, true, Refused, false},
    {PageCapability::UserMessage, Browsing, true, Refused, false},
};

TEST(PageCapabilitiesTableTest, EachRequestOfEachKindOfPageHasItsAnswer) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(PageCapabilities::name(c.capability)) + (c.group == Ads ? " ad page" : " browser") +
                 (c.activation ? " with activation" : " without"));
    int asked = 0;
    const auto answer = PageCapabilities::answer(c.capability, c.group, [&] {
      ++asked;
      return c.activation;
    });
    EXPECT_EQ(answer, c.expected);
    EXPECT_EQ(asked > 0 && c.activation, c.consumes) << "the activation is taken only where the row needs it";
  }
}

TEST(PageCapabilitiesTableTest, EveryRequestIsInTheTableUnderItsOwnName) {
  std::set<std::string> names;
  for (const Case& c : kCases) names.insert(PageCapabilities::name(c.capability));
  EXPECT_EQ(names.size(), static_cast<size_t>(PageCapability::UserMessage) + 1) << "a request has no case";
  EXPECT_FALSE(names.contains("unknown"));
}

TEST(PageCapabilitiesTableTest, NoActivationToAskIsNone) {
  EXPECT_EQ(PageCapabilities::answer(PageCapability::Download, Browsing, {}), Refused);
  EXPECT_EQ(PageCapabilities::answer(PageCapability::Print, Browsing, {}), Refused);
}

class PageCapabilitiesTest : public PlatformTest {
 protected:
  size_t linesWith(const std::string& text) const {
    size_t n = 0;
    for (const auto& line : logLines()) n += line.find(text) != std::string::npos;
    return n;
  }
};

// With a web view's own activation: a click lends one act, and only one.
TEST_F(PageCapabilitiesTest, OneClickInTheBrowserGrantsOneDownload) {
  auto view = platform::WebView::create(platform::Rect(0, 0, 320, 50), Browsing);
  PageCapabilities page(Browsing);
  auto consume = [&] { return view->consumeUserActivation(); };
  EXPECT_EQ(page.ask(PageCapability::Download, consume), Refused) << "no click yet";
  view->noteUserActivation();
  EXPECT_EQ(page.ask(PageCapability::Download, consume), Granted);
  EXPECT_EQ(page.ask(PageCapability::Print, consume), Refused) << "the click was used";
}

TEST_F(PageCapabilitiesTest, AnAdPageLeavesTheActivationUnused) {
  auto view = platform::WebView::create(platform::Rect(0, 0, 320, 50), Ads);
  PageCapabilities page(Ads);
  view->noteUserActivation();
  EXPECT_EQ(page.ask(PageCapability::Print, [&] { return view->consumeUserActivation(); }), Refused);
  EXPECT_TRUE(view->hasUserActivation()) << "what the user's click was for still has it";
}

TEST_F(PageCapabilitiesTest, ARefusalIsLoggedOncePerPageAndDetail) {
  PageCapabilities page(Ads);
  for (int i = 0; i < 3; ++i) {
    page.ask(PageCapability::Permission, {}, "geolocation");
    page.ask(PageCapability::Permission, {}, "pointer lock");
    page.ask(PageCapability::Print, {});
  }
  EXPECT_EQ(linesWith("<Rezido> Refused (permission: geolocation) for this ad page"), 1u);
  EXPECT_EQ(linesWith("Refused (permission: pointer lock)"), 1u);
  EXPECT_EQ(linesWith("Refused (print)"), 1u);
  page.pageDidChange();
  page.ask(PageCapability::Print, {});
  EXPECT_EQ(linesWith("Refused (print)"), 2u) << "a new page's refusals are its own";
}

TEST_F(PageCapabilitiesTest, WhatIsGrantedIsNotLogged) {
  PageCapabilities page(Browsing);
  EXPECT_EQ(page.ask(PageCapability::OptionMenu, {}), Granted);
  EXPECT_EQ(linesWith("Refused"), 0u);
}

TEST_F(PageCapabilitiesTest, ANoteIsLoggedOncePerPage) {
  PageCapabilities page(Browsing);
  page.noteOnce("Insecure content shown on a secure page");
  page.noteOnce("Insecure content shown on a secure page");
  EXPECT_EQ(linesWith("<Rezido> Insecure content shown"), 1u);
}

}  // namespace
