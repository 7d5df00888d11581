#include "ads/request/GADRequestPrivate.h"

#include <ctime>

#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADParameterKeys.h"
#include "platform/Device.h"
#include "platform/Log.h"

GADRequestPrivate::GADRequestPrivate(const GADRequest& other)
    : testDevices_(other.testDevices()),
      testing_(other.isTesting()),
      additionalParameters_(other.additionalParameters()),
      gender_(other.gender()),
      birthday_(other.birthday()),
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
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return std::string(text);
}

std::optional<std::string> GADRequestPrivate::genderString() const {
  if (gender_ == kGADGenderMale) return "m";
  if (gender_ == kGADGenderFemale) return "f";
  return std::nullopt;
}

platform::Dictionary GADRequestPrivate::parameters() const {
  platform::Dictionary parameters;
  parameters.set(kGADParameterSDKVersion, sdkVersion());
  if (testing_) {
    platform::log("\"testing\" property has been deprecated.  Use \"testDevices\" instead.");
    parameters.set(kGADParameterTesting, "1");
  }
  if (testDevices_) {
    const std::string raw = platform::Device::current().rawIdentifier();
    for (const auto& device : *testDevices_) {
      if (device == raw) {
        parameters.set(kGADParameterTestMode, "on");
        break;
      }
    }
  }
  if (additionalParameters_) parameters.set(kGADParameterExtraParams, *additionalParameters_);
  if (auto text = genderString()) parameters.set(kGADParameterGender, *text);
  if (auto text = birthdayString()) parameters.set(kGADParameterBirthday, *text);
  if (keywords_) {
    platform::Value::Array array(keywords_->begin(), keywords_->end());
    parameters.set(kGADParameterKeywords, std::move(array));
  }
  parameters.set(kGADParameterTotalAdRequests, static_cast<int>(counter_));
  return parameters;
}

bool GADRequestPrivate::deviceAtLeastMinimumOSMajorVersionMinorVersion(int major, int minor) {
  int osMajor = 0, osMinor = 0;
  GADIdentifierUtilities::getOSMajorMinorBugFix(&osMajor, &osMinor, nullptr);
  return osMajor > major || (osMajor == major && osMinor >= minor);
}

int GADRequestPrivate::requestTypeFromString(const std::string* type) {
  if (!type) return 0;
  if (*type == "vaver") return 4;
  if (*type == "xfp") return 5;
  if (*type == "adsense") return 1;
  return 0;
}
