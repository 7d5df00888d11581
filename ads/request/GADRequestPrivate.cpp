#include "ads/request/GADRequestPrivate.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADLocation.h"
#include "ads/request/GADNetworkChecker.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADPrivacySettings.h"
#include "ads/request/GADSignalsProvider.h"
#include "ads/request/GADStatistics.h"
#include "platform/Device.h"
#include "platform/Log.h"

GADRequestPrivate::GADRequestPrivate(const GADRequest& other)
    : testDevices_(other.testDevices()),
      testing_(other.isTesting()),
      additionalParameters_(other.additionalParameters()),
      gender_(other.gender()),
      birthday_(other.birthday()),
      location_(other.location()),
      keywords_(other.keywords()),
      interstitialAd_(other.isInterstitialAd()) {}

void GADRequestPrivate::setBirthdayWithMonthDayYear(int month, int day, int year) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  birthday_ = platform::Value::Date{static_cast<double>(seconds)};
}

void GADRequestPrivate::setLocationWithLatitudeLongitudeAccuracy(float latitude, float longitude, float accuracy) {
  location_ = GADLocation::createWithLatitudeLongitudeAccuracy(latitude, longitude, accuracy);
}

void GADRequestPrivate::setLocationWithDescription(const std::string& description) {
  location_ = GADLocation::createWithDescription(description);
}

void GADRequestPrivate::addKeyword(const std::string& keyword) {
  if (keyword.empty()) return;
  if (!keywords_) keywords_ = std::make_shared<StringList>();
  keywords_->push_back(keyword);
}

std::optional<std::string> GADRequestPrivate::birthdayString() const {
  if (!birthday_) return std::nullopt;
  const std::time_t seconds = static_cast<std::time_t>(birthday_->secondsSince1970);
  std::tm local{};
  localtime_r(&seconds, &local);
  // "yyyyMMdd": the year has at least four digits (strftime's %Y does not pad).
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return std::string(text);
}

std::optional<std::string> GADRequestPrivate::genderString() const {
  if (gender_ == kGADGenderMale) return "m";
  if (gender_ == kGADGenderFemale) return "f";
  return std::nullopt;
}

platform::Dictionary GADRequestPrivate::parameters() const {
  platform::Dictionary parameters = GADIdentifierUtilities::sharedInstance().parameters();
  parameters.set(kGADParameterSDKVersion, sdkVersion());
  if (auto net = GADNetworkChecker::sharedChecker().networkTypeString()) parameters.set(kGADParameterNetworkType, *net);
  if (testing_) {
    platform::log("\"testing\" property has been deprecated.  Use \"testDevices\" instead.");
    parameters.set(kGADParameterTesting, "1");
  }
  // A test device is named by the application's advertising identifier
  // (what "isu" carries once allowed); the comparison stays here.
  if (testDevices_ && !testDevices_->empty()) {
    const std::string own = GADPrivacySettings::applicationIdentifier();
    for (const auto& device : *testDevices_) {
      if (device == own) {
        parameters.set(kGADParameterTestMode, "on");
        break;
      }
    }
  }
  if (additionalParameters_) parameters.set(kGADParameterExtraParams, *additionalParameters_);
  // Who the user is and where: only with the user's leave.
  const bool personalised = GADPrivacySettings::allowsPersonalisedAds();
  if (auto text = genderString(); text && personalised) parameters.set(kGADParameterGender, *text);
  if (auto text = birthdayString(); text && personalised) parameters.set(kGADParameterBirthday, *text);
  if (keywords_) {
    platform::Value::Array array(keywords_->begin(), keywords_->end());
    parameters.set(kGADParameterKeywords, std::move(array));
  }
  if (location_ && personalised) {
    if (auto uule = location_->oolongRepresentation()) parameters.set(kGADParameterLocation, *uule);
  }
  parameters.merge(GADStatistics::sharedStatistics().parameters());
  parameters.set(kGADParameterTotalAdRequests, static_cast<int>(counter_));
  return parameters;
}

platform::Dictionary GADRequestPrivate::spamSignals() const {
  std::string text;
  if (!gad_gmrs(text)) return {};
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return {};
  const std::string name = text.substr(0, equals);
  std::string value = text.substr(equals + 1);
  if (size_t second = value.find('='); second != std::string::npos) value.resize(second);
  if (value.empty()) return {};
  return platform::Dictionary{{name, value}};
}

std::string GADRequestPrivate::description() const {
  std::string text = GADRequest::description();
  if (!location_) return text;
  // The location's piece stands after the birthday, before the keywords.
  const std::string piece = "\nlocation:" + location_->description();
  size_t at = text.find("\nkeywords:");
  if (at == std::string::npos) at = text.find("\nadditionalParameters:");
  if (at == std::string::npos) return text + piece;
  return text.insert(at, piece);
}

// The operating system is the kernel: a distribution numbers its releases
// as it likes ("2", "v23.12"), which says nothing of what the client needs.
// A version that cannot be read refuses nothing.
bool GADRequestPrivate::deviceAtLeastMinimumOSMajorVersionMinorVersion(int major, int minor) {
  const std::string version = platform::Device::current().kernelVersion();
  int osMajor = 0, osMinor = 0;
  const char* end = version.data() + version.size();
  const auto [afterMajor, majorError] = std::from_chars(version.data(), end, osMajor);
  if (majorError != std::errc()) return true;
  if (afterMajor < end && *afterMajor == '.') std::from_chars(afterMajor + 1, end, osMinor);
  return osMajor > major || (osMajor == major && osMinor >= minor);
}

int GADRequestPrivate::requestTypeFromString(const std::string* type) {
  if (!type) return 0;
  if (*type == "vaver") return 4;
  if (*type == "xfp") return 5;
  if (*type == "adsense") return 1;
  return 0;
}
