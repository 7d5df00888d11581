#include "ads/codec/GTMStringEncoding.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

struct Vector {
  const char* plain;
  const char* encoded;
};

void expectVectors(const GTMStringEncoding& encoding, std::initializer_list<Vector> vectors) {
  for (const auto& v : vectors) {
    EXPECT_EQ(encoding.encodeString(v.plain), v.encoded) << encoding.description() << " " << v.plain;
    auto decoded = encoding.decode(v.encoded);
    ASSERT_TRUE(decoded) << v.encoded;
    EXPECT_EQ(*decoded, bytes(v.plain)) << v.encoded;
  }
}

// RFC 4648 section 10.
TEST(GTMStringEncodingTest, Rfc4648TestVectors) {
  expectVectors(GTMStringEncoding::rfc4648Base64StringEncoding(),
                {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
                 {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}});
  expectVectors(GTMStringEncoding::rfc4648Base64WebsafeStringEncoding(),
                {{"", ""}, {"f", "Zg=="}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff", "-_8="}});
  expectVectors(GTMStringEncoding::rfc4648Base32StringEncoding(),
                {{"", ""}, {"f", "MY======"}, {"fo", "MZXQ===="}, {"foo", "MZXW6==="}, {"foob", "MZXW6YQ="},
                 {"fooba", "MZXW6YTB"}, {"foobar", "MZXW6YTBOI======"}});
  expectVectors(GTMStringEncoding::rfc4648Base32HexStringEncoding(),
                {{"", ""}, {"f", "CO======"}, {"fo", "CPNG===="}, {"foo", "CPNMU==="}, {"foob", "CPNMUOG="},
                 {"fooba", "CPNMUOJ1"}, {"foobar", "CPNMUOJ1E8======"}});
  expectVectors(GTMStringEncoding::hexStringEncoding(),
                {{"", ""}, {"f", "66"}, {"foobar", "666F6F626172"}, {"\x01\xab", "01AB"}});
  expectVectors(GTMStringEncoding::binaryStringEncoding(), {{"A", "01000001"}, {"\x80\x01", "1000000000000001"}});
}

TEST(GTMStringEncodingTest, StandardAndWebsafeDifferOnlyInTwoCharacters) {
  const std::vector<std::uint8_t> data{0xfb, 0xef, 0xbe, 0xff, 0xfe};
  const auto standard = GTMStringEncoding::rfc4648Base64StringEncoding().encode(data);
  const auto websafe = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding().encode(data);
  EXPECT_EQ(standard, "++++//4=");
  EXPECT_EQ(websafe, "----__4=");
}

TEST(GTMStringEncodingTest, PaddingCountsAndUnpaddedOutput) {
  auto base64 = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  EXPECT_EQ(base64.encodeString("ab"), "YWI=");
  EXPECT_EQ(base64.encodeString("a"), "YQ==");
  base64.setDoPad(false);
  for (std::string text : {"a", "ab", "abc", "abcd", "abcde"}) EXPECT_EQ(base64.encodeString(text).find('='), std::string::npos);
  EXPECT_EQ(base64.encodeString("a"), "YQ");
  EXPECT_TRUE(GTMStringEncoding::rfc4648Base64WebsafeStringEncoding().doPad()) << "each factory call is a new encoder";
}

TEST(GTMStringEncodingTest, PaddedPartlyPaddedAndUnpaddedTextDecodeAlike) {
  const auto base64 = GTMStringEncoding::rfc4648Base64StringEncoding();
  for (const char* text : {"Zm9vYg==", "Zm9vYg=", "Zm9vYg"}) EXPECT_EQ(base64.decode(text), bytes("foob")) << text;
  const auto base32 = GTMStringEncoding::rfc4648Base32StringEncoding();
  for (const char* text : {"MZXW6===", "MZXW6"}) EXPECT_EQ(base32.decode(text), bytes("foo")) << text;
}

TEST(GTMStringEncodingTest, DecodeRefusals) {
  const auto base64 = GTMStringEncoding::rfc4648Base64StringEncoding();
  EXPECT_FALSE(base64.decode("Zh==")) << "spare bits of the last character must be zero";
  EXPECT_FALSE(base64.decode("Zm9=v")) << "data after padding";
  EXPECT_FALSE(base64.decode("Zm9v!")) << "outside the alphabet";
  EXPECT_FALSE(base64.decode("Zm9v-_")) << "websafe characters in the standard form";
  EXPECT_FALSE(base64.decode("Zm\xc3\xa9")) << "not ASCII";
  const auto hex = GTMStringEncoding::hexStringEncoding();
  EXPECT_FALSE(hex.decode("AB=")) << "hexadecimal has no padding";
  EXPECT_FALSE(hex.decode("ABC")) << "half a byte left over is non-zero";
  EXPECT_EQ(hex.decode("abcd"), hex.decode("ABCD"));
}

TEST(GTMStringEncodingTest, FastPathStopsCleanlyAtPaddingAndIgnoredCharacters) {
  auto base64 = GTMStringEncoding::rfc4648Base64StringEncoding();
  base64.ignoreCharacters(" \n");
  EXPECT_EQ(base64.decode("Zm9v\nYmFy YQ=="), bytes("foobara"));
  EXPECT_EQ(base64.decode("Z m 9 v"), bytes("foo"));
  auto hex = GTMStringEncoding::hexStringEncoding();
  hex.ignoreCharacters(":");
  EXPECT_EQ(hex.decode("de:ad:BE:EF"), (std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef}));
}

TEST(GTMStringEncodingTest, CrockfordSynonyms) {
  const auto crockford = GTMStringEncoding::crockfordBase32StringEncoding();
  EXPECT_EQ(crockford.decode("oO0"), crockford.decode("000"));
  EXPECT_EQ(crockford.decode("iIlL"), crockford.decode("1111"));
  EXPECT_EQ(crockford.decode("abc0"), crockford.decode("ABC0"));
  EXPECT_FALSE(crockford.decode("U")) << "U is not in the alphabet";
}

TEST(GTMStringEncodingTest, PaddingWithoutAPaddingCharacterAddsNothing) {
  auto hex = GTMStringEncoding::hexStringEncoding();
  hex.setDoPad(true);
  EXPECT_EQ(hex.encodeString("a"), "61");
  auto crockford = GTMStringEncoding::crockfordBase32StringEncoding();
  crockford.setDoPad(true);
  const std::string text = crockford.encode(std::vector<std::uint8_t>{0});
  EXPECT_EQ(text, "00");
  EXPECT_EQ(crockford.decode(text), std::vector<std::uint8_t>{0});
}

TEST(GTMStringEncodingTest, EmptyDataGivesEmptyTextEvenWithPadding) {
  EXPECT_EQ(GTMStringEncoding::rfc4648Base32StringEncoding().encode({}), "");
  EXPECT_EQ(GTMStringEncoding::rfc4648Base64StringEncoding().decode(""), std::vector<std::uint8_t>{});
}

TEST(GTMStringEncodingTest, UnusableAlphabetsMakeNoEncoder) {
  EXPECT_FALSE(GTMStringEncoding::stringEncodingWithString("abc"));
  EXPECT_FALSE(GTMStringEncoding::stringEncodingWithString("a"));
  EXPECT_FALSE(GTMStringEncoding::stringEncodingWithString("aa"));
  EXPECT_FALSE(GTMStringEncoding::stringEncodingWithString("\xc3\xa9xy"));
  EXPECT_TRUE(GTMStringEncoding::stringEncodingWithString("01234567"));
}

TEST(GTMStringEncodingTest, OctalAndSevenBitAlphabetsRoundTrip) {
  std::string alphabet128;
  for (int i = 0; i < 128; ++i) alphabet128 += static_cast<char>(i);
  for (std::string alphabet : {std::string("01234567"), std::string("0123"), alphabet128}) {
    auto encoding = GTMStringEncoding::stringEncodingWithString(alphabet);
    ASSERT_TRUE(encoding);
    for (std::string text : {"x", "xy", "xyz", "hello world!"}) EXPECT_EQ(encoding->decode(encoding->encodeString(text)), bytes(text));
  }
}

TEST(GTMStringEncodingTest, DescriptionNamesTheBase) {
  EXPECT_EQ(GTMStringEncoding::hexStringEncoding().description(),
            "<Base16 StringEncoder: <30313233 34353637 38394142 43444546>>");
}

TEST(GTMStringEncodingTest, StringByDecodingRefusesBytesThatAreNotText) {
  const auto base64 = GTMStringEncoding::rfc4648Base64StringEncoding();
  EXPECT_EQ(base64.stringByDecoding("Zm9v"), "foo");
  EXPECT_FALSE(base64.stringByDecoding("//8="));
}

TEST(GTMStringEncodingDeathTest, IgnoringAMappedCharacterStops) {
  EXPECT_DEATH(GTMStringEncoding::hexStringEncoding().ignoreCharacters("A"), "Character already mapped");
}

}  // namespace
