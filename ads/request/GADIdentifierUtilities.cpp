#include "ads/request/GADIdentifierUtilities.h"

#include <cstdlib>

#include "ads/request/GADNumberUtilities.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADPrivacySettings.h"
#include "platform/ASCII.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/FileManager.h"
#include "platform/PropertyList.h"
#include "platform/Screen.h"
#include "platform/UserDefaults.h"
#include "platform/ProcessWide.h"

namespace {

std::unique_ptr<GADIdentifierUtilities>& sharedSlot() {
  return platform::processWide<std::unique_ptr<GADIdentifierUtilities>>();
}

}  // namespace

GADIdentifierUtilities& GADIdentifierUtilities::sharedInstance() {
  auto& slot = sharedSlot();
  if (!slot) slot.reset(new GADIdentifierUtilities());
  return *slot;
}

void GADIdentifierUtilities::resetForTesting() { sharedSlot().reset(); }

GADIdentifierUtilities::GADIdentifierUtilities() {
  const auto idiom = platform::Device::current().interfaceIdiom();
  isPhoneIdiom_ = !idiom || *idiom == platform::InterfaceIdiom::Phone;
  isJailbroken_ = isJailbroken();
}

bool GADIdentifierUtilities::isJailbroken() {
  std::error_code ec;
  return std::filesystem::exists("/Applications/Cydia.app", ec);
}

std::string GADIdentifierUtilities::osVersion() { return platform::Device::current().systemVersion(); }

void GADIdentifierUtilities::getOSMajorMinorBugFix(int* major, int* minor, int* bugFix) {
  const std::string version = osVersion();
  int numbers[3] = {0, 0, 0};
  size_t start = 0;
  for (int& number : numbers) {
    if (start > version.size()) break;
    const size_t dot = version.find('.', start);
    const std::string piece = version.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    number = std::atoi(piece.c_str());
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (major) *major = numbers[0];
  if (minor) *minor = numbers[1];
  if (bugFix) *bugFix = numbers[2];
}

bool GADIdentifierUtilities::isOSAtLeastMajorMinorBug(int major, int minor, int bug) {
  int have[3];
  getOSMajorMinorBugFix(&have[0], &have[1], &have[2]);
  const int want[3] = {major, minor, bug};
  for (int i = 0; i < 3; ++i) {
    if (have[i] != want[i]) return have[i] > want[i];
  }
  return true;
}

platform::Dictionary GADIdentifierUtilities::readITunesMetadataFileAt(const std::filesystem::path& path) {
  auto value = platform::PropertyList::readFile(path);
  if (!value || !value->isDictionary()) return {};
  return *value->asDictionary();
}

std::string GADIdentifierUtilities::deviceModel() const { return platform::Device::current().model(); }

const std::string& GADIdentifierUtilities::deviceSubmodel() {
  if (!deviceSubmodel_) deviceSubmodel_ = platform::Device::current().machineName();
  return *deviceSubmodel_;
}

// Asked on every request: the user's choice and a reset act on the next one.
std::string GADIdentifierUtilities::deviceIdentifier() const { return GADPrivacySettings::requestIdentifier(); }

std::optional<std::string> GADIdentifierUtilities::locale() {
  if (locale_) return locale_;
  const platform::Value* languages = platform::UserDefaults::standard().objectForKey("AppleLanguages");
  // No list, an empty one or a first entry that is no text: nothing is
  // cached, and the next call asks again.
  if (!languages || !languages->isArray() || languages->asArray()->empty()) return std::nullopt;
  const platform::Value& first = languages->asArray()->front();
  if (!first.isString()) return std::nullopt;
  std::string lower = *first.asString();
  for (char& c : lower) c = platform::ascii::toLower(c);
  locale_ = lower;
  return locale_;
}

int GADIdentifierUtilities::audioRoute() const {
  const auto route = platform::Device::current().audioRouteName();
  if (!route) return 1;
  if (route->empty()) return 3;
  if (*route == "Headphone" || *route == "Headset") return 2;
  if (*route == "Speaker") return 1;
  return 5;
}

bool GADIdentifierUtilities::isOrientationLandscape() const {
  const auto orientation = platform::Screen::main().statusBarOrientation();
  return orientation == platform::InterfaceOrientation::LandscapeRight ||
         orientation == platform::InterfaceOrientation::LandscapeLeft;
}

float GADIdentifierUtilities::screenDensity() const {
  const double scale = platform::Screen::main().scale();
  return scale > 0 ? static_cast<float>(scale) : 1.0f;
}

std::pair<float, float> GADIdentifierUtilities::screenSize() const {
  const platform::Screen& screen = platform::Screen::main();
  const platform::Rect frame = screen.applicationFrame();
  double height = frame.height();
  if (!platform::Application::shared().isStatusBarHidden()) height += screen.statusBarFrame().height();
  return {static_cast<float>(frame.width()), static_cast<float>(height)};
}

platform::Dictionary GADIdentifierUtilities::canOpenURLs(const std::vector<std::string>& urls) const {
  platform::Dictionary answers;
  for (const auto& url : urls) answers.set(url, platform::Application::shared().canOpenURL(url));
  return answers;
}

const platform::Dictionary& GADIdentifierUtilities::iTunesMetadata() {
  if (!iTunesMetadata_) {
    iTunesMetadata_.emplace();
    // The file beside the documents folder, in the application's home.
    if (auto documents = platform::FileManager::documentsDirectory())
      iTunesMetadata_ = readITunesMetadataFileAt((*documents / ".." / "iTunesMetadata.plist").lexically_normal());
  }
  return *iTunesMetadata_;
}

platform::Dictionary GADIdentifierUtilities::parameters() {
  platform::Dictionary parameters;
  const std::string model = deviceModel();
  if (model == "iPad" && isPhoneIdiom_) parameters.set(kGADParameterIPadCompatibilityMode, "1");
  parameters.set(kGADParameterITunesMetadata, iTunesMetadata());
  const platform::Bundle& bundle = platform::Bundle::main();
  const std::string version = bundle.infoString("CFBundleVersion");
  parameters.set(kGADApplicationName,
                 (version.empty() ? std::string() : version + ".") + "iphone." + bundle.infoString("CFBundleIdentifier"));
  if (isJailbroken_) parameters.set(kGADParameterJailbroken, "1");
  parameters.set(kGADParameterDeviceID, deviceIdentifier());
  if (!model.empty()) parameters.set(kGADParameterDeviceModel, model);
  if (!deviceSubmodel().empty()) parameters.set(kGADParameterDeviceSubmodel, deviceSubmodel());
  if (auto language = locale()) parameters.set(kGADParameterLocale, *language);
  parameters.set(kGADParameterAudioOutput, std::to_string(audioRoute()));
  parameters.set(kGADParameterScreenOrientation, isOrientationLandscape() ? "l" : "p");
  parameters.set(kGADParameterScreenDensity, GADNumberUtilities::stringWithFloat(screenDensity()));
  const auto [width, height] = screenSize();
  parameters.set(kGADParameterScreenWidth, GADNumberUtilities::stringWithFloat(width));
  parameters.set(kGADParameterScreenHeight, GADNumberUtilities::stringWithFloat(height));
  const platform::Dictionary readers = canOpenURLs({"itms-books://", "kindle://home"});
  int bookstore = 0;
  if (const auto* books = readers.find("itms-books://"); books && *books == platform::Value(true)) bookstore |= 1;
  if (const auto* kindle = readers.find("kindle://home"); kindle && *kindle == platform::Value(true)) bookstore |= 2;
  if (bookstore != 0) parameters.set(kGADParameterCapabilitiesBookstore, bookstore);
  return parameters;
}
