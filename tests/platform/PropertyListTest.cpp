#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <string_view>

using platform::Dictionary;
using platform::PropertyList;
using platform::Value;

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(PropertyListTest, XmlRoundTripKeepsTypesAndOrder) {
  Value original(Dictionary{{"name", "Blorvik"},
                            {"count", -42},
                            {"ratio", 0.25},
                            {"on", true},
                            {"when", Value::Date{1700000000}},  // XML dates keep whole seconds
                            {"blob", Value::Bytes{1, 2, 3}},
                            {"list", Value::Array{"a", 1}}});
  const std::string xml = PropertyList::toXML(original).value();
  auto parsed = PropertyList::parse(bytesOf(xml));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, original);
  std::vector<std::string> keys;
  for (const auto& [key, value] : *parsed->asDictionary()) keys.push_back(key);
  EXPECT_EQ(keys.front(), "name");
  EXPECT_EQ(keys.back(), "list");
}

TEST(PropertyListTest, RefusesTextThatIsNoPropertyList) {
  for (std::string_view bad : {"", "hello", "<plist><dict><key>a</key>", "bplist00\x01"}) {
    auto parsed = PropertyList::parse(bytesOf(bad));
    EXPECT_FALSE(parsed.has_value()) << bad;
  }
}

TEST(PropertyListTest, TextWithANulCharacterIsRefusedNotCut) {
  using namespace std::string_literals;
  for (const platform::Value& value : {platform::Value("a\0b"s), platform::Value(platform::Dictionary{{"k\0"s, 1}}),
                                       platform::Value(platform::Value::Array{platform::Value("x\0"s)})}) {
    const auto xml = PropertyList::toXML(value);
    ASSERT_FALSE(xml) << *xml;
    EXPECT_EQ(xml.error().code, 4);
  }
}

TEST(PropertyListTest, MissingFileIsAnError) {
  auto parsed = PropertyList::readFile("/nonexistent/x.plist");
  ASSERT_FALSE(parsed.has_value());
  EXPECT_EQ(parsed.error().domain, platform::kPropertyListErrorDomain);
}

}  // namespace
