#include "ads/content/GADNotification.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "ads/content/GADNotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/support/AdsTest.h"

using platform::Dictionary;
using platform::URL;
using platform::Value;

namespace {

std::optional<GADNotification> messageOf(const char* text) {
  auto url = URL::create(text);
  if (!url) return std::nullopt;
  return GADNotification::notificationFromURL(*url);
}

TEST(GADNotificationTest, MessageURLsOfBothGrammars) {
  const struct {
    const char* url;
    std::optional<std::string> name;  // nullopt: no message
    std::optional<Dictionary> parameters;
  } cases[] = {
      {"gmsg://ads.example.test/click?u=tel%3A1", "click", Dictionary{{"u", "tel:1"}}},
      {"gmsg://x/log?String=Hello", "log", Dictionary{{"string", "Hello"}}},
      {"gmsg://x/touch?tx=1&ty=2;td=3", "touch", Dictionary{{"tx", "1"}, {"ty", "2"}, {"td", "3"}}},
      {"gmsg://x/a?k=v=w&z", "a", Dictionary{}},
      {"gmsg://x/a?k=1&k=2", "a", Dictionary{{"k", "2"}}},
      {"gmsg://x/a?v=1+2", "a", Dictionary{{"v", "1+2"}}},
      {"gmsg://x/a?bad=%FF&good=1", "a", Dictionary{{"good", "1"}}},
      // As a web view hands it over: a pair that is no escape is dropped,
      // the rest of the message stands.
      {"gmsg://x/a?bad=100%&good=a|b^{c}`d", "a", Dictionary{{"good", "a|b^{c}`d"}}},
      {"gmsg://x/a?k=%zz&n=1#x#y", "a", Dictionary{{"n", "1"}}},
      {"gmsg://x/", "", Dictionary{}},
      {"gmsg://x", std::nullopt, std::nullopt},
      {"gmsg://x/open%20it", "open it", Dictionary{}},
      {"GMSG://x/click", std::nullopt, std::nullopt},
      {"vaver://launch?url=tel%3A1", "open", Dictionary{{"a", "browser"}, {"u", "tel:1"}}},
      {"vaver://launch", "open", Dictionary{{"a", "browser"}}},
      {"vaver://closecanvas?x=1", "close", std::nullopt},
      {"vaver://log?string=hi", "log", Dictionary{{"string", "hi"}}},
      {"vaver://Launch?url=x", std::nullopt, std::nullopt},
      {"vaver://other", std::nullopt, std::nullopt},
      {"http://x/click", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const auto message = messageOf(c.url);
    ASSERT_EQ(message.has_value(), c.name.has_value());
    if (!message) continue;
    EXPECT_EQ(message->name(), *c.name);
    EXPECT_EQ(message->parameters(), c.parameters);
  }
}

TEST(GADNotificationTest, OnlyTheExactSchemesAreMessageSchemes) {
  EXPECT_TRUE(GADNotification::isNotificationURL(*URL::create("gmsg://x/a")));
  EXPECT_TRUE(GADNotification::isVaVerNotificationURL(*URL::create("vaver://log")));
  EXPECT_FALSE(GADNotification::isNotificationURL(*URL::create("Gmsg://x/a")));
  EXPECT_FALSE(GADNotification::isNotificationURL(*URL::create("gmsgx://x/a")));
}

TEST(GADNotificationTest, DescriptionNamesTheMessageAndItsParameters) {
  const auto message = messageOf("gmsg://x/click?u=1");
  ASSERT_TRUE(message);
  const std::string text = message->description();
  EXPECT_EQ(text.rfind("GADNotification<", 0), 0u);
  EXPECT_NE(text.find("name:click parameters:"), std::string::npos) << text;
  EXPECT_NE(text.find("u = 1"), std::string::npos) << text;
}

// The call to the page's function, in a script whose value is undefined
// whatever the function returns or throws: nothing of the page's crosses.
std::string withoutValue(const std::string& call) { return "try{" + call + "\n}catch(e){}void 0;"; }

TEST(GADNotificationCenterScriptTest, EventScriptsInBothForms) {
  EXPECT_EQ(GADNotificationCenter::scriptForJSNotification("onhide", std::nullopt),
            withoutValue("ZOVO_ReceiveMessage('onhide');"));
  EXPECT_EQ(GADNotificationCenter::scriptForJSNotification("evalJavaScriptInOpenerResult", std::nullopt),
            withoutValue("ZOVO_ReceiveMessage('evalJavaScriptInOpenerResult');"));
  EXPECT_EQ(GADNotificationCenter::scriptForJSNotification("onshow", Dictionary{}),
            withoutValue("ZOVO_ReceiveMessage('onshow', {});"));
  EXPECT_EQ(GADNotificationCenter::scriptForJSNotification("openableURLs", Dictionary{{"tel:1", true}}),
            withoutValue("ZOVO_ReceiveMessage('openableURLs', {\"tel:1\":true});"));
  // What the writer refuses becomes an empty argument, which the page rejects.
  EXPECT_EQ(GADNotificationCenter::scriptForJSNotification(
                "x", Dictionary{{"n", std::numeric_limits<double>::quiet_NaN()}}),
            withoutValue("ZOVO_ReceiveMessage('x', );"));
}

TEST(GADNotificationCenterScriptTest, NamesThatCouldLeaveTheQuotesGiveNoScript) {
  for (const char* name : {"a'); steal(); ('", "on show", "", "x\\"})
    EXPECT_FALSE(GADNotificationCenter::scriptForJSNotification(name, std::nullopt)) << name;
}

class GADNotificationCenterTest : public AdsTest {
 protected:
  GADNotificationCenter& center() { return GADNotificationCenter::defaultCenter(); }
  std::vector<platform::Notification> received;
  void observe(const std::string& name, const void* sender) {
    center().addObserver(this, name, sender, [this](const platform::Notification& n) { received.push_back(n); });
  }
  void TearDown() override {
    center().removeObserver(this);
    AdsTest::TearDown();
  }
};

TEST_F(GADNotificationCenterTest, EventsAreEvaluatedInTheGivenPage) {
  auto webView = platform::WebView::create(platform::Rect(0, 0, 320, 50));
  GADNotificationCenter::postJSNotificationUserInfoWebView("onhide", std::nullopt, webView.get());
  GADNotificationCenter::postJSNotificationUserInfoWebView("onshow", Dictionary{{"version", "4.1.0"}}, webView.get());
  GADNotificationCenter::postJSNotificationUserInfoWebView("nowhere", std::nullopt, nullptr);
  EXPECT_EQ(platform::HeadlessWebViewPeer::of(*webView)->evaluatedScripts(),
            (std::vector<std::string>{withoutValue("ZOVO_ReceiveMessage('onhide');"),
                                      withoutValue("ZOVO_ReceiveMessage('onshow', {\"version\":\"4.1.0\"});")}));
}

TEST_F(GADNotificationCenterTest, MessagesArePostedByNameFromTheirSender) {
  int sender = 0, other = 0;
  observe("loadAdURL", &sender);
  center().postNotificationFromURLObject(*URL::create("gmsg://x/loadAdURL?url=u&type=t"), &sender);
  center().postNotificationFromURLObject(*URL::create("gmsg://x/loadAdURL?url=v"), &other);
  center().postNotificationFromURLObject(*URL::create("vaver://other"), &sender);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].object, &sender);
  EXPECT_EQ(received[0].userInfo, (Dictionary{{"url", "u"}, {"type", "t"}}));
}

TEST_F(GADNotificationCenterTest, ADelayedPostingArrivesOnALaterTurnAndHoldsItsSender) {
  auto sender = std::make_shared<int>(7);
  const void* address = sender.get();
  std::weak_ptr<int> weak = sender;
  observe("settings", nullptr);
  center().postNotificationFromURLObjectWithDelay(*URL::create("gmsg://x/settings?supportedOrientations=any"), sender,
                                                  0);
  sender.reset();
  EXPECT_TRUE(received.empty()) << "never inside the call";
  EXPECT_FALSE(weak.expired()) << "the pending posting holds its sender";
  ASSERT_TRUE(runUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received[0].object, address);
  EXPECT_EQ(received[0].userInfo, (Dictionary{{"supportedorientations", "any"}}));
  EXPECT_TRUE(weak.expired()) << "released once posted";
}

TEST_F(GADNotificationCenterTest, DelayedPostingsFollowTheClock) {
  platform::RunLoop::main().useManualTimeForTesting();
  observe("", nullptr);
  center().postNotificationFromURLObjectWithDelay(*URL::create("gmsg://x/later"), nullptr, 2);
  platform::RunLoop::main().advanceForTesting(1.5);
  EXPECT_TRUE(received.empty());
  platform::RunLoop::main().advanceForTesting(0.5);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].name, "later");
  EXPECT_EQ(received[0].object, nullptr);
}

}  // namespace
