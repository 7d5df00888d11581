#include "platform/Value.h"

#include <gtest/gtest.h>

using platform::Dictionary;
using platform::Value;

namespace {

TEST(DictionaryTest, KeepsInsertionOrderAndReplacesInPlace) {
  Dictionary d;
  d.set("zeta", 1);
  d.set("alpha", 2);
  d.set("mid", 3);
  d.set("zeta", 4);
  std::vector<std::string> keys;
  for (const auto& [key, value] : d) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"zeta", "alpha", "mid"}));
  EXPECT_EQ(*d.find("zeta"), Value(4));
  EXPECT_TRUE(d.erase("alpha"));
  EXPECT_FALSE(d.erase("alpha"));
  EXPECT_EQ(d.size(), 2u);
}

TEST(DictionaryTest, MergeAppendsNewKeysAndReplacesExistingOnes) {
  Dictionary d{{"a", 1}, {"b", 2}};
  d.merge(Dictionary{{"b", 20}, {"c", 30}});
  EXPECT_EQ(d.entries().back().first, "c");
  EXPECT_EQ(*d.find("b"), Value(20));
  EXPECT_EQ(d.size(), 3u);
}

TEST(DictionaryTest, EqualityIgnoresOrder) {
  EXPECT_EQ((Dictionary{{"a", 1}, {"b", "x"}}), (Dictionary{{"b", "x"}, {"a", 1}}));
  EXPECT_NE((Dictionary{{"a", 1}}), (Dictionary{{"a", 2}}));
  EXPECT_NE((Dictionary{{"a", 1}}), (Dictionary{{"a", 1}, {"b", 1}}));
}

TEST(ValueTest, TypedAccessAnswersOnlyForItsType) {
  Value text("hi");
  EXPECT_TRUE(text.isString());
  EXPECT_EQ(*text.asString(), "hi");
  EXPECT_EQ(text.asInteger(), nullptr);
  Value number(7);
  EXPECT_EQ(*number.asInteger(), 7);
  EXPECT_EQ(number.asString(), nullptr);
  EXPECT_TRUE(Value().isNull());
  EXPECT_EQ(Value(true).type(), Value::Type::Boolean);
}

TEST(ValueTest, NumbersOfDifferentKindsCompareByValue) {
  EXPECT_EQ(Value(2), Value(2.0));
  EXPECT_NE(Value(2), Value(2.5));
  EXPECT_EQ(Value(Value::Decimal{"0.5"}), Value(0.5));
  EXPECT_NE(Value(1), Value("1"));
  EXPECT_NE(Value(true), Value(1));
}

TEST(ValueTest, DecimalKeepsItsLiteralExactly) {
  Value big(Value::Decimal{"123456789012345678901234567890"});
  EXPECT_EQ(big.description(), "123456789012345678901234567890");
}

TEST(ValueTest, DescriptionOfNestedContainers) {
  Value v(Dictionary{{"name", "two words"}, {"list", Value::Array{1, "a"}}, {"empty", Dictionary{}}});
  EXPECT_EQ(v.description(),
            "{\n"
            "    name = \"two words\";\n"
            "    list = (\n"
            "        1,\n"
            "        a\n"
            "    );\n"
            "    empty = {\n"
            "    };\n"
            "}");
}

TEST(ValueTest, DescriptionOfScalars) {
  EXPECT_EQ(Value(Value::Bytes{0xde, 0xad, 0xbe, 0xef, 0x01}).description(), "<deadbeef 01>");
  EXPECT_EQ(Value(Value::Date{0}).description(), "1970-01-01 00:00:00 +0000");
  EXPECT_EQ(Value("").description(), "\"\"");
  EXPECT_EQ(Value("say \"hi\"\n").description(), "\"say \\\"hi\\\"\\n\"");
  EXPECT_EQ(Value().description(), "<null>");
}

}  // namespace

namespace {

TEST(DictionaryTest, RemovingDuplicateKeysKeepsFirstPlaceAndLastValue) {
  for (int extra : {0, 40}) {  // small and large dictionaries take different paths
    std::vector<platform::Dictionary::Entry> entries{{"a", 1}, {"b", 2}, {"a", 3}};
    for (int i = 0; i < extra; ++i) entries.emplace_back("k" + std::to_string(i), i);
    entries.emplace_back("b", 4);
    platform::Dictionary d(std::move(entries));
    d.removeDuplicateKeys();
    EXPECT_EQ(d.size(), 2u + static_cast<size_t>(extra));
    EXPECT_EQ(d.entries()[0].first, "a");
    EXPECT_EQ(*d.find("a"), Value(3));
    EXPECT_EQ(*d.find("b"), Value(4));
    EXPECT_EQ(d.entries()[1].first, "b");
  }
}

}  // namespace

namespace {

// Past the small sizes the keys go through a hash index: every operation
// must answer as the plain ordered list would, at every size it passes.
TEST(DictionaryTest, LargeDictionariesAnswerAsSmallOnesDo) {
  platform::Dictionary dictionary;
  for (int i = 0; i < 3000; ++i) {
    dictionary.set("k" + std::to_string(i), i);
    const platform::Value* half = dictionary.find("k" + std::to_string(i / 2));
    ASSERT_TRUE(half) << "at size " << dictionary.size();
    ASSERT_EQ(*half, platform::Value(i / 2)) << "at size " << dictionary.size();
  }
  dictionary.set("k7", "replaced");
  EXPECT_EQ(dictionary.size(), 3000u);
  EXPECT_EQ(dictionary.entries()[7].first, "k7") << "replaced in place";
  EXPECT_EQ(*dictionary.find("k7"), platform::Value("replaced"));
  EXPECT_FALSE(dictionary.find("k3000"));

  EXPECT_TRUE(dictionary.erase("k0"));
  EXPECT_FALSE(dictionary.find("k0"));
  EXPECT_EQ(*dictionary.find("k2999"), platform::Value(2999));
  EXPECT_EQ(dictionary.entries().front().first, "k1");

  platform::Dictionary copy = dictionary;
  copy.set("extra", true);
  EXPECT_EQ(*copy.find("k1500"), platform::Value(1500));
  EXPECT_FALSE(dictionary.find("extra"));

  for (int i = 1; i < 3000; ++i) ASSERT_TRUE(dictionary.erase("k" + std::to_string(i))) << i;
  EXPECT_TRUE(dictionary.empty());
  dictionary.set("again", 1);
  EXPECT_EQ(*dictionary.find("again"), platform::Value(1));
}

TEST(DictionaryTest, LargeDictionaryFromEntriesFindsTheFirstOfDuplicatesUntilThoseAreRemoved) {
  std::vector<platform::Dictionary::Entry> entries;
  for (int i = 0; i < 100; ++i) entries.emplace_back("k" + std::to_string(i), i);
  entries.emplace_back("k5", "later");
  platform::Dictionary dictionary(std::move(entries));
  EXPECT_EQ(*dictionary.find("k5"), platform::Value(5));
  dictionary.removeDuplicateKeys();
  EXPECT_EQ(dictionary.size(), 100u);
  EXPECT_EQ(*dictionary.find("k5"), platform::Value("later"));
  EXPECT_EQ(*dictionary.find("k99"), platform::Value(99));
}

}  // namespace
