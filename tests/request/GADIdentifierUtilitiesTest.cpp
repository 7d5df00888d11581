#include "ads/request/GADIdentifierUtilities.h"

#include <fstream>

#include "ads/request/GADAdvertisingIdentifier.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADPrivacySettings.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/PropertyList.h"
#include "platform/Screen.h"
#include "platform/UserDefaults.h"
#include "tests/support/AdsTest.h"
#include "tests/support/FakeDevice.h"

namespace {

class FakeScreen : public platform::Screen {
 public:
  double fakeScale = 1;
  platform::InterfaceOrientation orientation = platform::InterfaceOrientation::Portrait;
  double scale() const override { return fakeScale; }
  platform::InterfaceOrientation statusBarOrientation() const override { return orientation; }
};

class GADIdentifierUtilitiesTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    device = std::make_shared<FakeDevice>();
    screen = std::make_shared<FakeScreen>();
    platform::Device::setCurrentForTesting(device);
    platform::Screen::setMainForTesting(screen);
  }
  std::string text(const platform::Dictionary& d, const char* key) {
    const platform::Value* v = d.find(key);
    return v && v->isString() ? *v->asString() : "<absent>";
  }
  std::shared_ptr<FakeDevice> device;
  std::shared_ptr<FakeScreen> screen;
};

TEST_F(GADIdentifierUtilitiesTest, OSVersionNumbers) {
  const std::tuple<const char*, int, int, int> table[] = {
      {"4", 4, 0, 0}, {"4.2", 4, 2, 0}, {"4.2.1", 4, 2, 1}, {"", 0, 0, 0}, {"12.x.3", 12, 0, 3}};
  for (const auto& [version, major, minor, bug] : table) {
    device->version = version;
    int a = -1, b = -1, c = -1;
    GADIdentifierUtilities::getOSMajorMinorBugFix(&a, &b, &c);
    EXPECT_EQ(std::tie(a, b, c), std::tie(major, minor, bug)) << version;
  }
  device->version = "4";
  EXPECT_TRUE(GADIdentifierUtilities::isOSAtLeastMajorMinorBug(4, 0, 0));
  device->version = "3.2.1";
  EXPECT_FALSE(GADIdentifierUtilities::isOSAtLeastMajorMinorBug(4, 0, 0));
  EXPECT_TRUE(GADIdentifierUtilities::isOSAtLeastMajorMinorBug(3, 2, 0));
}

TEST_F(GADIdentifierUtilitiesTest, DeviceIdentifierIsZerosUntilAllowedThenTheApplicationsOwn) {
  auto& identity = GADIdentifierUtilities::sharedInstance();
  EXPECT_EQ(identity.deviceIdentifier(), std::string(32, '0'));
  EXPECT_EQ(text(identity.parameters(), kGADParameterDeviceID), std::string(32, '0'));
  EXPECT_FALSE(std::filesystem::exists(dataFolder())) << "nothing is written before the user allows";

  GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::Allowed);
  const std::string allowed = identity.deviceIdentifier();
  EXPECT_TRUE(GADAdvertisingIdentifier::isWellFormed(allowed)) << allowed;
  EXPECT_EQ(allowed, GADPrivacySettings::applicationIdentifier());
  EXPECT_EQ(text(identity.parameters(), kGADParameterDeviceID), allowed);

  GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::Declined);
  EXPECT_EQ(text(identity.parameters(), kGADParameterDeviceID), std::string(32, '0'));
}

TEST_F(GADIdentifierUtilitiesTest, ScreenKeys) {
  screen->fakeScale = 2.0;
  screen->orientation = platform::InterfaceOrientation::LandscapeLeft;
  const auto parameters = GADIdentifierUtilities::sharedInstance().parameters();
  EXPECT_EQ(text(parameters, kGADParameterScreenDensity), "2");
  EXPECT_EQ(text(parameters, kGADParameterScreenOrientation), "l");
  EXPECT_EQ(text(parameters, kGADParameterScreenWidth), "320");
  EXPECT_EQ(text(parameters, kGADParameterScreenHeight), "480");
}

TEST_F(GADIdentifierUtilitiesTest, TabletCompatibilityOnlyForPhoneApplicationsOnATablet) {
  device->modelName = "iPad";
  EXPECT_EQ(text(GADIdentifierUtilities::sharedInstance().parameters(), kGADParameterIPadCompatibilityMode), "1");
  GADIdentifierUtilities::resetForTesting();
  device->idiom = platform::InterfaceIdiom::Pad;
  EXPECT_EQ(text(GADIdentifierUtilities::sharedInstance().parameters(), kGADParameterIPadCompatibilityMode), "<absent>");
}

TEST_F(GADIdentifierUtilitiesTest, ReaderCapabilities) {
  EXPECT_FALSE(GADIdentifierUtilities::sharedInstance().parameters().contains(kGADParameterCapabilitiesBookstore));
  platform::Application::shared().setCanOpenURLForTesting([](const std::string& url) { return url == "kindle://home"; });
  EXPECT_EQ(*GADIdentifierUtilities::sharedInstance().parameters().find(kGADParameterCapabilitiesBookstore),
            platform::Value(2));
}

TEST_F(GADIdentifierUtilitiesTest, AudioRouteCodes) {
  const std::pair<std::optional<std::string>, int> table[] = {
      {"Speaker", 1}, {std::nullopt, 1}, {"Headphone", 2}, {"Headset", 2}, {"", 3}, {"HeadsetBT", 5}, {"speaker", 5}};
  class RouteDevice : public FakeDevice {
   public:
    std::optional<std::string> route;
    std::optional<std::string> audioRouteName() const override { return route; }
  };
  auto routed = std::make_shared<RouteDevice>();
  platform::Device::setCurrentForTesting(routed);
  for (const auto& [route, code] : table) {
    routed->route = route;
    EXPECT_EQ(GADIdentifierUtilities::sharedInstance().audioRoute(), code) << route.value_or("(none)");
  }
}

TEST_F(GADIdentifierUtilitiesTest, LocaleIsTheFirstPreferredLanguageInLowerCase) {
  EXPECT_EQ(GADIdentifierUtilities::sharedInstance().locale(), "en-gb");
  platform::UserDefaults::standard().setObjectForKey(platform::Value::Array{}, "AppleLanguages");
  GADIdentifierUtilities::resetForTesting();
  EXPECT_FALSE(GADIdentifierUtilities::sharedInstance().locale());
  EXPECT_FALSE(GADIdentifierUtilities::sharedInstance().parameters().contains(kGADParameterLocale));
}

TEST_F(GADIdentifierUtilitiesTest, ApplicationNameAndStoreMetadataFromFiles) {
  const auto home = std::filesystem::temp_directory_path() / ("ident-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(home / "Documents");
  std::filesystem::create_directories(home / "bundle");
  std::ofstream(home / "bundle" / "Info.plist")
      << *platform::PropertyList::toXML(platform::Value(platform::Dictionary{{"CFBundleIdentifier", "com.example.app"}}));
  std::ofstream(home / "iTunesMetadata.plist")
      << *platform::PropertyList::toXML(platform::Value(platform::Dictionary{{"itemId", 42}}));
  platform::Bundle::setMainForTesting(std::make_shared<platform::Bundle>(home / "bundle"));
  platform::FileManager::setDocumentsDirectoryForTesting(home / "Documents");

  const auto parameters = GADIdentifierUtilities::sharedInstance().parameters();
  EXPECT_EQ(text(parameters, kGADApplicationName), "iphone.com.example.app");
  EXPECT_EQ(*parameters.find(kGADParameterITunesMetadata), platform::Value(platform::Dictionary{{"itemId", 42}}));

  platform::FileManager::setDocumentsDirectoryForTesting(std::nullopt);
  std::filesystem::remove_all(home);
}

TEST_F(GADIdentifierUtilitiesTest, MissingOrNonDictionaryMetadataIsEmpty) {
  EXPECT_TRUE(GADIdentifierUtilities::readITunesMetadataFileAt("/nonexistent.plist").empty());
  const auto file = std::filesystem::temp_directory_path() / "array-metadata.plist";
  std::ofstream(file) << *platform::PropertyList::toXML(platform::Value(platform::Value::Array{1}));
  EXPECT_TRUE(GADIdentifierUtilities::readITunesMetadataFileAt(file).empty());
  std::filesystem::remove(file);
  EXPECT_EQ(text(GADIdentifierUtilities::sharedInstance().parameters(), kGADApplicationName),
            "1.0.iphone.com.blorvik.soundboard");
}

}  // namespace
