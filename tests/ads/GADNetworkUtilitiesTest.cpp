#include "ads/request/GADNetworkUtilities.h"

#include <gtest/gtest.h>

#include "ads/request/GADNumberUtilities.h"

using platform::Dictionary;
using platform::URL;

namespace {

URL url(const char* text) { return *URL::create(text); }

TEST(GADNetworkUtilitiesTest, EncodeURLEscapesEverythingButUnreservedCharacters) {
  const std::pair<std::string, std::string> table[] = {
      {"abcXYZ019-._~", "abcXYZ019-._~"},
      {"x y", "x%20y"},
      {"!*'();:@&=+$,/?%#[]", "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D"},
      {"%41", "%2541"},
      {"\xc3\xa9", "%C3%A9"},
      {"", ""},
  };
  for (const auto& [plain, escaped] : table) EXPECT_EQ(GADNetworkUtilities::encodeURL(plain), escaped) << plain;
}

TEST(GADNetworkUtilitiesTest, AppendingChoosesTheSeparatorFromTheQuery) {
  Dictionary b{{"b", "x y"}};
  EXPECT_EQ(GADNetworkUtilities::appendQueryParametersToURL(b, url("http://h/p?a=1"))->absoluteString(),
            "http://h/p?a=1&b=x%20y");
  EXPECT_EQ(GADNetworkUtilities::appendQueryParametersToURL(b, url("http://h/p"))->absoluteString(),
            "http://h/p?b=x%20y");
  // An empty query counts as none: a second "?" follows the first.
  EXPECT_EQ(GADNetworkUtilities::appendQueryParametersToURL(b, url("http://h/p?"))->absoluteString(),
            "http://h/p??b=x%20y");
}

TEST(GADNetworkUtilitiesTest, AppendingGoesIntoTheQueryBeforeAnyFragment) {
  Dictionary unique{{"unique", 42}};
  EXPECT_EQ(GADNetworkUtilities::appendQueryParametersToURL(unique, url("http://h/p#top"))->absoluteString(),
            "http://h/p?unique=42#top");
  EXPECT_EQ(GADNetworkUtilities::appendQueryParametersToURL(unique, url("http://h/p?a=1#x?y"))->absoluteString(),
            "http://h/p?a=1&unique=42#x?y");
}

TEST(GADNetworkUtilitiesTest, AppendingKeepsOrderKeysAsTheyAreAndNumbersAsDecimal) {
  Dictionary parameters{{"z", 1}, {"a", 2.5}, {"k[]", "v"}};
  EXPECT_EQ(GADNetworkUtilities::appendQueryParametersToURL(parameters, url("http://h/"))->absoluteString(),
            "http://h/?z=1&a=2.5&k[]=v");
}

TEST(GADNetworkUtilitiesTest, NullOrEmptyValueAppendsTheBareKey) {
  EXPECT_EQ(GADNetworkUtilities::appendQueryKeyValueToURL("flag", std::nullopt, url("http://h/?a=1"))->absoluteString(),
            "http://h/?a=1&flag");
  EXPECT_EQ(GADNetworkUtilities::appendQueryKeyValueToURL("flag", platform::Value(""), url("http://h/"))->absoluteString(),
            "http://h/?flag");
}

TEST(GADNetworkUtilitiesTest, AppendingAKeyThatBreaksTheURLGivesNothing) {
  EXPECT_FALSE(GADNetworkUtilities::appendQueryKeyValueToURL("bad key", platform::Value("v"), url("http://h/")));
}

TEST(GADNetworkUtilitiesTest, ParameterValueStopsAtTheNextEqualsSign) {
  EXPECT_EQ(GADNetworkUtilities::parameterValueForKeyFromURL("ai", url("http://h/c?ai=ABC==&x=1")), "ABC");
  EXPECT_EQ(GADNetworkUtilities::parameterValueForKeyFromURL("x", url("http://h/c?ai=ABC==&x=1")), "1");
  EXPECT_EQ(GADNetworkUtilities::parameterValueForKeyFromURL("e", url("http://h/c?e=%41")), "%41");
  EXPECT_EQ(GADNetworkUtilities::parameterValueForKeyFromURL("a", url("http://h/c?a&a=2")), "2");
  EXPECT_FALSE(GADNetworkUtilities::parameterValueForKeyFromURL("A", url("http://h/c?a=1")));
  EXPECT_FALSE(GADNetworkUtilities::parameterValueForKeyFromURL("a", url("http://h/c")));
}

TEST(GADNetworkUtilitiesTest, QueryStringParsingSkipsWhatIsNotExactlyKeyEqualsValue) {
  const std::string query = "A=1;b=%41&c&d=1=2";
  const Dictionary parsed = GADNetworkUtilities::dictionaryFromQueryString(&query);
  EXPECT_EQ(parsed, (Dictionary{{"a", "1"}, {"b", "A"}}));
}

TEST(GADNetworkUtilitiesTest, QueryStringParsingDetails) {
  const std::string query = "  x=1&&y=&z=a+b& x=2;bad=%zz;utf=%C3%A9;broken=%C3";
  const Dictionary parsed = GADNetworkUtilities::dictionaryFromQueryString(&query);
  EXPECT_EQ(parsed, (Dictionary{{"x", "2"}, {"y", ""}, {"z", "a+b"}, {"utf", "\xc3\xa9"}}));
  EXPECT_TRUE(GADNetworkUtilities::dictionaryFromQueryString(nullptr).empty());
}

TEST(GADNetworkUtilitiesTest, UserAgentIgnoresEmptyText) {
  GADNetworkUtilities::resetUserAgentForTesting();
  EXPECT_FALSE(GADNetworkUtilities::userAgentString());
  GADNetworkUtilities::setUserAgentString("");
  EXPECT_FALSE(GADNetworkUtilities::userAgentString());
  GADNetworkUtilities::setUserAgentString("Mozilla/5.0");
  EXPECT_EQ(GADNetworkUtilities::userAgentString(), "Mozilla/5.0");
  GADNetworkUtilities::resetUserAgentForTesting();
}

TEST(GADNumberUtilitiesTest, FloatsLoseTrailingZerosAndPoint) {
  const std::pair<float, std::string> table[] = {{0.1f, "0.1"}, {100.0f, "100"}, {2.25f, "2.25"}, {2.0f, "2"},
                                                 {1.5f, "1.5"}, {320.0f, "320"}, {0.0f, "0"},     {-3.5f, "-3.5"}};
  for (const auto& [value, text] : table) EXPECT_EQ(GADNumberUtilities::stringWithFloat(value), text) << value;
}

}  // namespace
