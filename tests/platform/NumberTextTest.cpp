// Numbers (and dates) as text: the locale-free formatter and reader, and
// every place that writes or reads numbers as text, run under a
// comma-decimal locale (the toolkit adopts the user's LC_NUMERIC at
// start-up).
#include "platform/NumberText.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <span>
#include <string>

#include "ads/codec/GAD_TamskJSON.h"
#include "ads/request/GADLocation.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADNumberUtilities.h"
#include "platform/HTTPDate.h"
#include "platform/PropertyList.h"
#include "platform/Value.h"
#include "platform/View.h"
#include "tests/support/AdsTest.h"

using platform::NumberText;
using platform::Value;

namespace {

TEST(NumberTextTest, FormatsAsTheCLocaleDoes) {
  const struct {
    double value;
    int decimals;
    const char* fixed;
  } cases[] = {
      {52.52, 6, "52.520000"}, {-13.405, 6, "-13.405000"}, {0.5, 3, "0.500"}, {1e21, 1, "1000000000000000000000.0"},
      {2.5, 0, "2"},           {0.0, 2, "0.00"},
  };
  for (const auto& c : cases) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%.*f", c.decimals, c.value);
    EXPECT_EQ(NumberText::fixed(c.value, c.decimals), c.fixed) << c.value;
    EXPECT_EQ(NumberText::fixed(c.value, c.decimals), expected) << "as printf in the C locale";
  }
  EXPECT_EQ(NumberText::general(0.1, 17), "0.10000000000000001");
  EXPECT_EQ(NumberText::general(1e300, 17), "1.0000000000000001e+300");
  EXPECT_EQ(NumberText::fixed(std::numeric_limits<double>::infinity(), 2), "inf");
  EXPECT_EQ(NumberText::fixed(std::numeric_limits<double>::max(), 0).size(), 309u);
}

TEST(NumberTextTest, ReadsWholeNumbersOnly) {
  EXPECT_EQ(NumberText::parse("0.25"), 0.25);
  EXPECT_EQ(NumberText::parse("-1.5e3"), -1500.0);
  for (const char* bad : {"", "0,25", "1.5x", " 1", "1 ", "."}) EXPECT_FALSE(NumberText::parse(bad)) << bad;
}

// Switches the whole process to a locale whose decimal mark is a comma, as
// the toolkit does with the user's environment, generating one when the
// machine has none installed.
class CommaDecimalLocaleTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    if (!useCommaLocale()) GTEST_SKIP() << "no comma-decimal locale here, and localedef could not make one";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << "the locale is in force";
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    AdsTest::TearDown();
  }

  static bool useCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
      if (std::setlocale(LC_ALL, name) && hasCommaMark()) return true;
    static const std::filesystem::path folder = std::filesystem::temp_directory_path() / "blorvik-test-locales";
    const std::filesystem::path generated = folder / "de_DE.UTF-8";
    std::error_code ec;
    if (!std::filesystem::exists(generated, ec)) {
      std::filesystem::create_directories(folder, ec);
      const std::string command = "localedef -i de_DE -f UTF-8 '" + generated.string() + "' >/dev/null 2>&1";
      if (std::system(command.c_str()) != 0) return false;
    }
    setenv("LOCPATH", folder.c_str(), 1);
    const bool ok = std::setlocale(LC_ALL, "de_DE.UTF-8") && hasCommaMark();
    unsetenv("LOCPATH");
    return ok;
  }
  static bool hasCommaMark() { return std::string(std::localeconv()->decimal_point) == ","; }
};

TEST_F(CommaDecimalLocaleTest, LocationAndFloatTextsUseAPoint) {
  EXPECT_EQ(GADLocation::createWithLatitudeLongitudeAccuracy(52.52f, 13.405f, 10)->description(),
            "52.520000,13.405000");
  EXPECT_EQ(GADNumberUtilities::stringWithFloat(1.5f), "1.5");
  EXPECT_EQ(GADNetworkUtilities::textOfValue(Value(0.25)), "0.25");
  EXPECT_EQ((platform::Color{1, 0, 0, 0.5}).cssText(), "rgba(255,0,0,0.500)");
}

// The locale names days and months in its own language: HTTP's are English.
TEST_F(CommaDecimalLocaleTest, HTTPDatesAreWrittenAndReadInEnglish) {
  EXPECT_EQ(platform::HTTPDate::format(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(platform::HTTPDate::parse("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
  EXPECT_EQ(platform::HTTPDate::parse("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777);
}

TEST_F(CommaDecimalLocaleTest, JSONNumbersAreWrittenAndReadExactly) {
  GAD_TamskJSON json;
  const auto text = json.stringWithObject(Value(Value::Array{0.25, 1.5e300, -2.0}));
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "[0.25,1.5e+300,-2]");
  const auto parsed = json.objectWithString("[0.25,-1.5e3]");
  ASSERT_TRUE(parsed);
  EXPECT_EQ((*parsed->asArray())[0].toDouble(), 0.25);
  EXPECT_EQ((*parsed->asArray())[1].toDouble(), -1500.0);
}

TEST_F(CommaDecimalLocaleTest, PropertyListRealsRoundTripExactly) {
  const Value original(platform::Dictionary{{"quarter", 0.25}, {"third", 1.0 / 3.0}, {"decimal", Value(Value::Decimal{"0.125"})}});
  const std::string xml = platform::PropertyList::toXML(original).value();
  EXPECT_EQ(xml.find(','), std::string::npos) << xml;
  const auto parsed = platform::PropertyList::parse(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()));
  ASSERT_TRUE(parsed) << xml;
  EXPECT_EQ(parsed->asDictionary()->find("quarter")->toDouble(), 0.25);
  EXPECT_EQ(parsed->asDictionary()->find("third")->toDouble(), 1.0 / 3.0);
  EXPECT_EQ(parsed->asDictionary()->find("decimal")->toDouble(), 0.125);
}

TEST_F(CommaDecimalLocaleTest, DescriptionsOfRealsUseAPoint) {
  EXPECT_EQ(Value(0.5).description(), "0.5");
}

}  // namespace
