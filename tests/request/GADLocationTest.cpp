#include "ads/request/GADLocation.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>

#include "ads/codec/GTMStringEncoding.h"

namespace {

std::vector<std::uint8_t> decodeAfter(const std::string& text, size_t prefix) {
  auto base64 = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  auto bytes = base64.decode(text.substr(prefix));
  EXPECT_TRUE(bytes.has_value()) << text;
  return bytes.value_or(std::vector<std::uint8_t>{});
}

// Deciphers the precise form with OpenSSL directly, apart from the encoder.
std::string decipher(const std::vector<std::uint8_t>& output) {
  const auto key = GADLocation::locationKey();
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  EVP_DecryptInit_ex(context, EVP_aes_128_cbc(), nullptr, key.data(), output.data());
  EVP_CIPHER_CTX_set_padding(context, 0);
  std::vector<std::uint8_t> plain(output.size());
  int n = 0, final = 0;
  EVP_DecryptUpdate(context, plain.data(), &n, output.data() + 16, static_cast<int>(output.size() - 16));
  EVP_DecryptFinal_ex(context, plain.data() + n, &final);
  EVP_CIPHER_CTX_free(context);
  return std::string(plain.begin(), plain.begin() + n + final);
}

TEST(GADLocationTest, PrecisionRules) {
  EXPECT_TRUE(GADLocation::createWithLatitudeLongitudeAccuracy(90.0f, 180.0f, 5));
  EXPECT_TRUE(GADLocation::createWithLatitudeLongitudeAccuracy(-90.0f, -180.0f, 5));
  EXPECT_FALSE(GADLocation::createWithLatitudeLongitudeAccuracy(90.5f, 10.0f, 5));
  EXPECT_FALSE(GADLocation::createWithLatitudeLongitudeAccuracy(0.0f, 10.0f, 5));
  EXPECT_FALSE(GADLocation::createWithLatitudeLongitudeAccuracy(10.0f, 1e-8f, 5));
  EXPECT_FALSE(GADLocation::createWithDescription(""));
  EXPECT_FALSE(GADLocation::createWithDescription("Paris")->isPreciseLocation());
}

TEST(GADLocationTest, DescriptionsAndEquality) {
  auto point = GADLocation::createWithLatitudeLongitudeAccuracy(51.5f, -0.12f, 10);
  EXPECT_EQ(point->description(), "51.500000,-0.120000");
  auto a = GADLocation::createWithDescription("Paris");
  auto b = GADLocation::createWithDescription("Paris");
  b->setTimestamp(a->timestamp() + 100);
  EXPECT_TRUE(a->isEqual(b.get())) << "timestamps are not compared";
  EXPECT_FALSE(a->isEqual(point.get()));
  auto copy = point->copy();
  EXPECT_TRUE(copy->isEqual(point.get()));
  EXPECT_EQ(copy->timestamp(), point->timestamp());
}

TEST(GADLocationTest, TextFormIsEncodedWithQuotesTurnedSingle) {
  auto location = GADLocation::createWithDescription("Café \"Le Coin\"");
  location->setTimestamp(1700000000.25);
  const std::string uule = *location->oolongRepresentation();
  ASSERT_EQ(uule.rfind("a+", 0), 0u);
  EXPECT_EQ(uule.find('='), std::string::npos);
  const auto bytes = decodeAfter(uule, 2);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: 1700000000250000 "
            "loc: \"Café 'Le Coin'\"");
}

TEST(GADLocationTest, PreciseFormDeciphersToItsTextWithTimestampIvAndMillimetres) {
  auto location = GADLocation::createWithLatitudeLongitudeAccuracy(51.5f, -0.125f, 65.0f);
  location->setTimestamp(1700000000.5);
  const std::string uule = *location->oolongRepresentation();
  ASSERT_EQ(uule.rfind("e1+", 0), 0u);
  const auto output = decodeAfter(uule, 3);
  ASSERT_GE(output.size(), 32u);
  std::uint32_t seconds = 0;
  std::memcpy(&seconds, output.data(), 4);
  EXPECT_EQ(seconds, 1700000000u) << "the vector starts with the timestamp, little-endian";
  std::int32_t doubled = 0;
  std::memcpy(&doubled, output.data() + 4, 4);
  EXPECT_EQ(doubled, 2147483647) << "2 x T clamped";
  const std::string plain = decipher(output);
  const std::string text =
      "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: 1700000000500000 "
      "latlng <latitude_e7: 515000000 longitude_e7: -1250000> radius: 65000";
  ASSERT_EQ(plain.substr(0, text.size()), text);
  const size_t fill = plain.size() - text.size();
  EXPECT_EQ(plain.size() % 16, 0u);
  EXPECT_EQ(plain.substr(text.size()), std::string(fill, static_cast<char>(fill)));
}

TEST(GADLocationTest, TextOfExactlyOneHundredTwentyEightCharactersGetsAWholeBlockOfFill) {
  // A present-day timestamp makes the text longer than 128 characters; an
  // early one with small coordinates and a sub-metre accuracy makes it 128.
  const float latitude = 2e-7f, longitude = 3e-7f, accuracy = 0.5f;
  char text[256];
  const int length = std::snprintf(text, sizeof text,
                                   "role: 6 producer: 24 historical_role: 1 historical_producer: 12 timestamp: %.0f "
                                   "latlng <latitude_e7: %ld longitude_e7: %ld> radius: %ld",
                                   0.0, 2L, 3L, 500L);
  ASSERT_EQ(length, 128);
  auto location = GADLocation::createWithLatitudeLongitudeAccuracy(latitude, longitude, accuracy);
  ASSERT_TRUE(location);
  location->setTimestamp(0);
  const std::string uule = *location->oolongRepresentation();
  EXPECT_EQ(uule.size() - 3, 214u);
  const auto output = decodeAfter(uule, 3);
  EXPECT_EQ(output.size(), 160u);
  EXPECT_EQ(decipher(output), std::string(text) + std::string(16, '\x10'));
}

}  // namespace
