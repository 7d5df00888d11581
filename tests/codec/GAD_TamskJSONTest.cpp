#include "ads/codec/GAD_TamskJSON.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ads/core/GADMacros.h"

using platform::Dictionary;
using platform::Error;
using platform::Value;

namespace {

// The innermost error of a cause chain.
const Error& innermost(const Error& error) {
  const Error* e = &error;
  while (e->cause) e = e->cause.get();
  return *e;
}

Value decimal(const char* literal) { return Value(Value::Decimal{literal}); }

// ------------------------------------------------------------- the writer

TEST(GAD_TamskJSONWriterTest, DefaultOutputHasNoWhitespaceAndKeepsInsertionOrder) {
  GAD_TamskJSON json;
  Value parameters(Dictionary{{"tel:1", true},
                              {"js", "zovo-sdk-i-v4.1.0"},
                              {"preqs", 3},
                              {"kw", Value::Array{"a", "b"}},
                              {"ad_frame", Dictionary{{"x", 0.0}, {"y", 410.0}, {"w", 320.0}, {"h", 50.0}}},
                              {"u_sd", 2.5},
                              {"none", Value()}});
  EXPECT_EQ(json.stringWithObject(parameters).value(),
            R"({"tel:1":true,"js":"zovo-sdk-i-v4.1.0","preqs":3,"kw":["a","b"],)"
            R"("ad_frame":{"x":0,"y":410,"w":320,"h":50},"u_sd":2.5,"none":null})");
}

TEST(GAD_TamskJSONWriterTest, EscapesExactlyControlCharactersQuoteAndBackslash) {
  GAD_TamskJSON json;
  const std::pair<std::string, std::string> table[] = {
      {"line\nfeed\x1f", R"("line\nfeed\u001f")"},
      {"\b\t\f\r\"\\", R"("\b\t\f\r\"\\")"},
      {std::string("\0\x01", 2), R"("\u0000\u0001")"},
      {"a/b \xc3\xa9 \xf0\x9f\x98\x80 \x7f", "\"a/b \xc3\xa9 \xf0\x9f\x98\x80 \x7f\""},
      {"plain text longer than eight bytes", "\"plain text longer than eight bytes\""},
  };
  for (const auto& [text, written] : table) EXPECT_EQ(json.stringWithFragment(Value(text)).value(), written);
}

TEST(GAD_TamskJSONWriterTest, HumanReadableIndentsTwoBlanksALevel) {
  GAD_TamskJSON json;
  json.setHumanReadable(true);
  EXPECT_EQ(json.stringWithObject(Value(Dictionary{{"a", Value::Array{1, 2}}})).value(),
            "{\n  \"a\" : [\n    1,\n    2\n  ]\n}");
  EXPECT_EQ(json.stringWithObject(Value(Dictionary{{"e", Dictionary{}}, {"f", Value::Array{}}})).value(),
            "{\n  \"e\" : {},\n  \"f\" : []\n}");
}

TEST(GAD_TamskJSONWriterTest, SortKeysOrdersKeysAscending) {
  GAD_TamskJSON json;
  Value value(Dictionary{{"b", 1}, {"a", 2}, {"C", 3}});
  EXPECT_EQ(json.stringWithObject(value).value(), R"({"b":1,"a":2,"C":3})");
  json.setSortKeys(true);
  EXPECT_EQ(json.stringWithObject(value).value(), R"({"C":3,"a":2,"b":1})");
}

TEST(GAD_TamskJSONWriterTest, ScalarsNeedTheFragmentEntry) {
  GAD_TamskJSON json;
  auto refused = json.stringWithObject(Value("text"));
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, 4);
  EXPECT_EQ(refused.error().message, "Not valid type for JSON");
  EXPECT_EQ(refused.error().domain, GAD_TamskJSONErrorDomain);
  EXPECT_EQ(json.stringWithFragment(Value(false)).value(), "false");
  EXPECT_EQ(json.stringWithFragment(decimal("-1.5E+300")).value(), "-1.5E+300");
}

TEST(GAD_TamskJSONWriterTest, ValuesWithoutAJSONFormAreRefused) {
  GAD_TamskJSON json;
  auto nan = json.stringWithObject(Value(Dictionary{{"lat", std::numeric_limits<double>::quiet_NaN()}}));
  ASSERT_FALSE(nan);
  EXPECT_EQ(nan.error().code, 1);
  EXPECT_EQ(nan.error().message, "Unsupported value for key lat in object");
  auto inArray = json.stringWithObject(Value(Value::Array{1, std::numeric_limits<double>::infinity()}));
  ASSERT_FALSE(inArray);
  EXPECT_EQ(inArray.error().message, "JSON serialisation not supported for NSNumber") << "the element's own error";
  EXPECT_FALSE(json.stringWithFragment(Value(std::string("\xff"))));
  EXPECT_FALSE(json.stringWithFragment(decimal("1.")));
}

TEST(GAD_TamskJSONWriterTest, DatesAndBytesAreWrittenAsTheirText) {
  GAD_TamskJSON json;
  EXPECT_EQ(json.stringWithFragment(Value(Value::Bytes{1, 2})).value(), "\"<0102>\"");
  EXPECT_EQ(json.stringWithFragment(Value(Value::Date{0})).value(), "\"1970-01-01 00:00:00 +0000\"");
}

TEST(GADMacrosTest, JsonifyIsNothingForNothingAndEmptyForRefusals) {
  EXPECT_FALSE(GADMacros::jsonify(nullptr));
  Value bad(Dictionary{{"x", std::nan("")}});
  EXPECT_EQ(GADMacros::jsonify(&bad), "");
  Value text("scalar");
  EXPECT_EQ(GADMacros::jsonify(&text), "") << "the default writer takes objects and arrays only";
  Value good(Value::Array{1});
  EXPECT_EQ(GADMacros::jsonify(&good), "[1]");
}

// ------------------------------------------------------------- the reader

struct Refusal {
  const char* input;
  long code;
  const char* message;
  long innermostCode;
  const char* innermostMessage;
};

TEST(GAD_TamskJSONReaderTest, RefusalsCarryTheirCodeMessageAndCause) {
  const Refusal table[] = {
      {"[1,]", 9, "Trailing comma disallowed in array", 9, nullptr},
      {"{\"a\":1,}", 9, "Trailing comma disallowed in object", 9, nullptr},
      {"[", 11, "End of input while parsing array", 11, nullptr},
      {"{", 11, "End of input while parsing object", 11, nullptr},
      {"", 11, "Unexpected end of string", 11, nullptr},
      {"[ ", 3, "Expected value while parsing array", 11, "Unexpected end of string"},
      {"01", 2, "Leading 0 disallowed in number", 2, nullptr},
      {"[012]", 3, "Expected value while parsing array", 2, "Leading 0 disallowed in number"},
      {"[-01]", 3, "Expected value while parsing array", 2, "Leading 0 disallowed in number"},
      {"[1 000.0]", 3, "Expected value while parsing array", 2, "Leading 0 disallowed in number"},
      {"-", 2, "No digits after initial minus", 2, nullptr},
      {"1.", 2, "No digits after decimal point", 2, nullptr},
      {"1e+", 2, "No digits after exponent", 2, nullptr},
      {"+1", 2, "Leading + disallowed in number", 2, nullptr},
      {".5", 3, "Unrecognised leading character", 3, nullptr},
      {"nul", 3, "Expected 'null'", 3, nullptr},
      {"tru", 3, "Expected 'true'", 3, nullptr},
      {"fals", 3, "Expected 'false'", 3, nullptr},
      {"[] x", 10, "Garbage after JSON", 10, nullptr},
      {"\"abc", 5, "Unescaped control character '0x0'", 5, nullptr},
      {"\"a\tb\"", 5, "Unescaped control character '0x9'", 5, nullptr},
      {"\"\\x\"", 8, "Illegal escape sequence '0x78'", 8, nullptr},
      {"\"\\", 8, "Illegal escape sequence '0x0'", 8, nullptr},
      {"\"\\n", 11, "Unexpected EOF while parsing string", 11, nullptr},
      {"\"\\u12G4\"", 6, "Broken unicode character", 6, "Missing hex quad"},
      {"\"\\uD83Dx\"", 6, "Broken unicode character", 6, "Missing low character in surrogate pair"},
      {"\"\\uD83D\\u12\"", 6, "Broken unicode character", 6, "Missing hex digit in quad"},
      {"\"\\uD83D\\u0041\"", 6, "Broken unicode character", 6, "Invalid low surrogate char"},
      {"\"\\uDE00\"", 6, "Broken unicode character", 6, "Invalid high character in surrogate pair"},
      {"{1:2}", 3, "Object key string expected", 3, nullptr},
      {"{\"a\\q\":2}", 3, "Object key string expected", 8, "Illegal escape sequence '0x71'"},
      {"{\"a\" 2}", 3, "Expected ':' separating key and value", 3, nullptr},
      {"{\"k\":}", 3, "Object value expected for key: k", 3, "Unrecognised leading character"},
      {"\"\xc3\x28\"", 6, "Invalid UTF-8 in string", 6, nullptr},
      {"\"\xed\xa0\x80\"", 6, "Invalid UTF-8 in string", 6, nullptr},
  };
  for (const auto& row : table) {
    GAD_TamskJSON json;
    auto result = json.fragmentWithString(row.input);
    ASSERT_FALSE(result) << row.input;
    EXPECT_EQ(result.error().code, row.code) << row.input;
    EXPECT_EQ(result.error().message, row.message) << row.input;
    EXPECT_EQ(innermost(result.error()).code, row.innermostCode) << row.input;
    if (row.innermostMessage) {
      EXPECT_EQ(innermost(result.error()).message, row.innermostMessage) << row.input;
    } else {
      EXPECT_FALSE(result.error().cause) << row.input;
    }
  }
}

TEST(GAD_TamskJSONReaderTest, AbsentInputAndScalarsInObjectMode) {
  GAD_TamskJSON json;
  auto nil = json.objectWithString(std::nullopt);
  ASSERT_FALSE(nil);
  EXPECT_EQ(nil.error().code, 12);
  EXPECT_EQ(nil.error().message, "Input was 'nil'");
  auto scalar = json.objectWithString("true");
  ASSERT_FALSE(scalar);
  EXPECT_EQ(scalar.error().code, 4);
  EXPECT_EQ(scalar.error().message, "Valid fragment, but not JSON");
  EXPECT_EQ(json.fragmentWithString("true").value(), Value(true));
}

TEST(GAD_TamskJSONReaderTest, CommasBetweenElementsAreOptional) {
  GAD_TamskJSON json;
  EXPECT_EQ(json.objectWithString("[1 2]").value(), Value(Value::Array{decimal("1"), decimal("2")}));
  EXPECT_EQ(json.objectWithString("{\"a\":1 \"b\":2}").value(), Value(Dictionary{{"a", 1}, {"b", 2}}));
}

TEST(GAD_TamskJSONReaderTest, ReadsEveryKindOfValue) {
  GAD_TamskJSON json;
  auto value = json.objectWithString(
      " \v\f{\"s\":\"a\\\"\\/\\\\\\b\\f\\n\\r\\t\\u00e9\\uD83D\\uDE00\",\"n\":null,\"t\":true,\"f\":false,"
      "\"num\":-12.5e-3,\"arr\":[{}],\"dup\":1,\"dup\":2}\r\n");
  ASSERT_TRUE(value) << value.error().message;
  const Dictionary& d = *value->asDictionary();
  EXPECT_EQ(*d.find("s")->asString(), "a\"/\\\b\f\n\r\t\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_TRUE(d.find("n")->isNull());
  EXPECT_EQ(*d.find("t"), Value(true));
  EXPECT_EQ(*d.find("f"), Value(false));
  EXPECT_EQ(d.find("num")->asDecimal()->literal, "-12.5e-3");
  EXPECT_EQ(*d.find("dup"), Value(2)) << "a repeated key replaces the value";
  EXPECT_EQ(d.size(), 7u);
}

TEST(GAD_TamskJSONReaderTest, NumbersKeepTheirLiteralExactly) {
  GAD_TamskJSON json;
  for (const char* literal : {"123456789012345678901234567890", "0.1", "-0", "1E400", "2e-99999999999", "1.000"}) {
    auto value = json.fragmentWithString(literal);
    ASSERT_TRUE(value) << literal;
    EXPECT_EQ(value->asDecimal()->literal, literal);
  }
}

TEST(GAD_TamskJSONReaderTest, InputEndsAtTheFirstNulByte) {
  GAD_TamskJSON json;
  EXPECT_TRUE(json.objectWithString(std::string_view("[1]\0garbage", 11)));
  auto cut = json.objectWithString(std::string_view("[1\0]", 4));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.error().code, 11);
}

std::string nested(int levels) { return std::string(static_cast<size_t>(levels), '[') + std::string(static_cast<size_t>(levels), ']'); }

TEST(GAD_TamskJSONReaderTest, DepthLimitAcceptsMaxDepthLevelsAndRefusesOneMore) {
  GAD_TamskJSON json;
  EXPECT_EQ(json.maxDepth(), 512u);
  EXPECT_TRUE(json.objectWithString(nested(512)));
  auto deep = json.objectWithString(nested(513));
  ASSERT_FALSE(deep);
  EXPECT_EQ(deep.error().code, 3);
  EXPECT_EQ(innermost(deep.error()).code, 7);
  EXPECT_EQ(innermost(deep.error()).message, "Nested too deep");

  json.setMaxDepth(1);
  EXPECT_TRUE(json.objectWithString("[1]"));
  auto two = json.objectWithString("[[1]]");
  ASSERT_FALSE(two);
  EXPECT_EQ(two.error().code, 3);
  EXPECT_EQ(innermost(two.error()).code, 7);
  auto object = json.objectWithString("{\"a\":{}}");
  ASSERT_FALSE(object);
  EXPECT_EQ(innermost(object.error()).code, 7);
}

TEST(GAD_TamskJSONReaderTest, NoLimitStillStopsBeforeTheStackDoes) {
  GAD_TamskJSON json;
  json.setMaxDepth(0);
  EXPECT_TRUE(json.objectWithString(nested(2000)));
  auto tooDeep = json.objectWithString(std::string(1000000, '['));
  ASSERT_FALSE(tooDeep);
  EXPECT_EQ(innermost(tooDeep.error()).code, 7);
}

TEST(GAD_TamskJSONReaderTest, WriteReadRoundTrip) {
  GAD_TamskJSON json;
  Value original(Dictionary{{"text", "tab\there \xe2\x82\xac \"q\""},
                            {"list", Value::Array{true, false, Value(), decimal("1.5e10")}},
                            {"nested", Dictionary{{"deeper", Value::Array{Dictionary{}}}}}});
  for (bool human : {false, true}) {
    json.setHumanReadable(human);
    auto text = json.stringWithObject(original);
    ASSERT_TRUE(text);
    auto back = json.objectWithString(*text);
    ASSERT_TRUE(back) << *text;
    EXPECT_EQ(*back, original);
  }
}

}  // namespace
