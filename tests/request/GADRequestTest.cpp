#include "ads/request/GADRequest.h"

#include <nlohmann/json.hpp>

#include <cctype>

#include "ads/core/GADMacros.h"
#include "ads/request/GADLocation.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADPrivacySettings.h"
#include "ads/request/GADRequestPrivate.h"
#include "ads/request/GADSignalsProvider.h"
#include "ads/request/GADStatistics.h"
#include "platform/Clock.h"
#include "tests/support/AdsTest.h"
#include "tests/support/FakeDevice.h"

using platform::Value;

namespace {

class GADRequestTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    device = std::make_shared<FakeDevice>();
    platform::Device::setCurrentForTesting(device);
  }
  std::shared_ptr<GADRequestPrivate> make() {
    return std::static_pointer_cast<GADRequestPrivate>(GADRequest::request());
  }
  std::shared_ptr<FakeDevice> device;
};

TEST_F(GADRequestTest, BareRequestStillCarriesVersionCounterAndDeviceKeys) {
  const auto parameters = make()->parameters();
  EXPECT_EQ(*parameters.find(kGADParameterSDKVersion), Value("zovo-sdk-i-v4.1.0"));
  EXPECT_EQ(*parameters.find(kGADParameterTotalAdRequests), Value(0));
  for (const char* key : {kGADParameterDeviceID, kGADApplicationName, kGADParameterITunesMetadata, kGADParameterLocale,
                          kGADParameterScreenWidth, kGADParameterScreenHeight, kGADParameterAudioOutput})
    EXPECT_TRUE(parameters.contains(key)) << key;
  for (const char* key : {kGADParameterGender, kGADParameterKeywords, kGADParameterLocation, kGADParameterTestMode})
    EXPECT_FALSE(parameters.contains(key)) << key;
}

TEST_F(GADRequestTest, ApplicationSettingsBecomeTheirKeysOnceTheUserAllows) {
  GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::Allowed);
  auto request = make();
  request->setGender(kGADGenderFemale);
  request->setBirthdayWithMonthDayYear(4, 12, 1985);
  request->addKeyword("comedy");
  request->setAdditionalParameters(std::make_shared<platform::Dictionary>(platform::Dictionary{{"color", "FF0000"}}));
  request->setLocationWithDescription("Paris");
  request->setCounter(7);
  const auto parameters = request->parameters();
  EXPECT_EQ(*parameters.find(kGADParameterGender), Value("f"));
  EXPECT_EQ(*parameters.find(kGADParameterBirthday), Value("19850412"));
  EXPECT_EQ(*parameters.find(kGADParameterKeywords), Value(Value::Array{"comedy"}));
  EXPECT_EQ(*parameters.find(kGADParameterExtraParams), Value(platform::Dictionary{{"color", "FF0000"}}));
  EXPECT_EQ(parameters.find(kGADParameterLocation)->asString()->rfind("a+", 0), 0u);
  EXPECT_EQ(*parameters.find(kGADParameterTotalAdRequests), Value(7));

  // Who and where the user is leave with the user's leave; the rest stays.
  for (auto choice : {GADPersonalisedAds::NotAsked, GADPersonalisedAds::Declined}) {
    GADPrivacySettings::setPersonalisedAds(choice);
    const auto withheld = request->parameters();
    for (const char* key : {kGADParameterGender, kGADParameterBirthday, kGADParameterLocation})
      EXPECT_FALSE(withheld.contains(key)) << key;
    EXPECT_EQ(*withheld.find(kGADParameterKeywords), Value(Value::Array{"comedy"}));
    EXPECT_EQ(*withheld.find(kGADParameterDeviceID), Value(std::string(32, '0')));
  }
}

TEST_F(GADRequestTest, BirthdayYearsHaveAtLeastFourDigits) {
  auto request = make();
  request->setBirthdayWithMonthDayYear(1, 1, 900);
  EXPECT_EQ(request->birthdayString(), "09000101");
  request->setBirthdayWithMonthDayYear(12, 31, 2001);
  EXPECT_EQ(request->birthdayString(), "20011231");
}

TEST_F(GADRequestTest, UnusableSettingsLeaveTheirKeysOut) {
  auto request = make();
  request->setGender(3);
  request->addKeyword("");
  EXPECT_EQ(request->keywords(), nullptr);
  request->setLocationWithDescription("Paris");
  request->setLocationWithLatitudeLongitudeAccuracy(0, 10, 5);
  EXPECT_EQ(request->location(), nullptr) << "an invalid location clears the earlier one";
  const auto parameters = request->parameters();
  EXPECT_FALSE(parameters.contains(kGADParameterGender));
  EXPECT_FALSE(parameters.contains(kGADParameterLocation));
  EXPECT_EQ(request->description().find("gender"), std::string::npos);
}

TEST_F(GADRequestTest, TestModeOnlyForTheApplicationsAdvertisingIdentifier) {
  auto request = make();
  const std::string own = GADPrivacySettings::applicationIdentifier();
  std::string lower = own;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  request->setTestDevices(std::make_shared<GADRequest::StringList>(GADRequest::StringList{std::string(32, '0'), lower}));
  EXPECT_FALSE(request->parameters().contains(kGADParameterTestMode));
  request->testDevices()->push_back(own);
  EXPECT_EQ(*request->parameters().find(kGADParameterTestMode), Value("on")) << "whatever the user's choice";
  EXPECT_EQ(*request->parameters().find(kGADParameterDeviceID), Value(std::string(32, '0')));
}

TEST_F(GADRequestTest, DeprecatedTestingSwitchIsLoggedOnEveryBuild) {
  auto request = make();
  request->setTesting(true);
  request->parameters();
  request->parameters();
  EXPECT_EQ(logLines(), (std::vector<std::string>(
                            2, "<Rezido> \"testing\" property has been deprecated.  Use \"testDevices\" instead.")));
}

TEST_F(GADRequestTest, ASecondBuildLacksWhatTheFirstReported) {
  auto& stats = GADStatistics::sharedStatistics();
  stats.incrementClickCount();
  stats.startTimingNamed(kGADParameterPriorRequestLatency);
  auto request = make();
  const auto first = request->parameters();
  EXPECT_TRUE(first.contains(kGADParameterPriorClickCount));
  EXPECT_TRUE(first.contains(kGADParameterPriorRequestLatency));
  const auto second = request->parameters();
  EXPECT_FALSE(second.contains(kGADParameterPriorClickCount));
  EXPECT_FALSE(second.contains(kGADParameterPriorRequestLatency));
}

TEST_F(GADRequestTest, CopiesShareListsButNotTheCounter) {
  auto request = make();
  request->addKeyword("a");
  request->setCounter(5);
  auto copy = std::static_pointer_cast<GADRequestPrivate>(request->copy());
  copy->addKeyword("b");
  EXPECT_EQ(request->keywords()->size(), 2u);
  EXPECT_EQ(copy->counter(), 0);
}

TEST_F(GADRequestTest, RequestTypesAreCaseSensitive) {
  const std::pair<const char*, int> table[] = {{"vaver", 4}, {"xfp", 5}, {"adsense", 1}, {"Vaver", 0}, {"", 0}};
  for (const auto& [text, type] : table) {
    const std::string name = text;
    EXPECT_EQ(GADRequestPrivate::requestTypeFromString(&name), type) << text;
  }
  EXPECT_EQ(GADRequestPrivate::requestTypeFromString(nullptr), 0);
}

TEST_F(GADRequestTest, DescriptionWithOnlyKeywords) {
  auto request = make();
  request->addKeyword("fun");
  char head[64];
  std::snprintf(head, sizeof head, "GADRequest<%p>: ", static_cast<const void*>(request.get()));
  EXPECT_EQ(request->description(), std::string(head) + "\nkeywords:(\n    fun\n)");
}

TEST_F(GADRequestTest, SignalEntryIsOneNameValuePairValidInAURL) {
  gad_gig(4, GADRequest::sdkVersion());
  const auto signals = make()->spamSignals();
  ASSERT_EQ(signals.size(), 1u);
  const auto& [name, value] = signals.entries().front();
  EXPECT_EQ(name, "ms");
  auto record = GADSignalsProvider::decodeSignal(*value.asString());
  ASSERT_TRUE(record);
  EXPECT_EQ(record->requestType, 4);
  EXPECT_TRUE(platform::URL::create("http://h/ad?" + name + "=" + *value.asString()));
}

TEST_F(GADRequestTest, ParameterDictionaryIsJSONThatAPeerReadsWithTheSameTypes) {
  auto request = make();
  request->addKeyword("comedy");
  request->setAdditionalParameters(std::make_shared<platform::Dictionary>(platform::Dictionary{{"k", "v"}}));
  auto parameters = request->parameters();
  parameters.set(kGADParameterAdFrame, platform::Dictionary{{"x", 0.0f}, {"y", 410.0f}, {"w", 320.0f}, {"h", 50.0f}});
  const Value value(parameters);
  const auto json = GADMacros::jsonify(&value);
  ASSERT_TRUE(json && !json->empty());
  const auto peer = nlohmann::json::parse(*json);
  ASSERT_TRUE(peer.is_object());
  EXPECT_EQ(peer.size(), parameters.size());
  for (const auto& [key, item] : parameters) {
    ASSERT_TRUE(peer.contains(key)) << key;
    const auto& read = peer[key];
    switch (item.type()) {
      case Value::Type::String: EXPECT_TRUE(read.is_string()) << key; break;
      case Value::Type::Array: EXPECT_TRUE(read.is_array()) << key; break;
      case Value::Type::Dictionary: EXPECT_TRUE(read.is_object()) << key; break;
      default: EXPECT_TRUE(read.is_number()) << key;
    }
  }
  EXPECT_TRUE(peer["kw"].is_array());
  EXPECT_TRUE(peer["extras"].is_object());
  EXPECT_TRUE(peer["ios_metadata"].is_object());
  EXPECT_EQ(peer["ad_frame"]["y"].get<double>(), 410.0);
  EXPECT_TRUE(peer["preqs"].is_number_integer());
}

}  // namespace
