// The request that holds the state; see GADRequest.
#pragma once

#include "ads/request/GADRequest.h"

class GADRequestPrivate : public GADRequest {
 public:
  GADRequestPrivate() = default;
  // Fields from `other`'s getters; the counter starts at 0.
  explicit GADRequestPrivate(const GADRequest& other);

  std::shared_ptr<platform::Dictionary> additionalParameters() const override { return additionalParameters_; }
  void setAdditionalParameters(std::shared_ptr<platform::Dictionary> extras) override {
    additionalParameters_ = std::move(extras);
  }
  std::shared_ptr<StringList> testDevices() const override { return testDevices_; }
  void setTestDevices(std::shared_ptr<StringList> devices) override { testDevices_ = std::move(devices); }
  bool isTesting() const override { return testing_; }
  void setTesting(bool testing) override { testing_ = testing; }
  std::int32_t gender() const override { return gender_; }
  void setGender(std::int32_t gender) override { gender_ = gender; }
  std::optional<platform::Value::Date> birthday() const override { return birthday_; }
  void setBirthday(std::optional<platform::Value::Date> birthday) override { birthday_ = birthday; }
  std::shared_ptr<StringList> keywords() const override { return keywords_; }
  void setKeywords(std::shared_ptr<StringList> keywords) override { keywords_ = std::move(keywords); }
  bool isInterstitialAd() const override { return interstitialAd_; }
  std::shared_ptr<GADLocation> location() const override { return location_; }
  void setLocation(std::shared_ptr<GADLocation> location) { location_ = std::move(location); }
  void setInterstitialAd(bool interstitial) { interstitialAd_ = interstitial; }
  std::int32_t counter() const { return counter_; }
  void setCounter(std::int32_t counter) { counter_ = counter; }

  // Midnight of that day in the current time zone, Gregorian calendar.
  void setBirthdayWithMonthDayYear(int month, int day, int year) override;
  // Invalid coordinates or empty text clear any earlier location.
  void setLocationWithLatitudeLongitudeAccuracy(float latitude, float longitude, float accuracy) override;
  void setLocationWithDescription(const std::string& description) override;
  // Ignores an empty keyword; the first one makes the list.
  void addKeyword(const std::string& keyword) override;

  // "yyyyMMdd" in the current time zone; nullopt without a birthday.
  std::optional<std::string> birthdayString() const;
  // "m", "f", or nullopt for any other gender code.
  std::optional<std::string> genderString() const;

  // Builds the request parameter dictionary. This consumes the statistics
  // it reports: build it once per ad fetch.
  platform::Dictionary parameters() const override;
  // At most one entry, name to value, from the signals provider.
  platform::Dictionary spamSignals() const;
  std::string description() const override;

  // True when the OS is above major, or at major with at least minor.
  static bool deviceAtLeastMinimumOSMajorVersionMinorVersion(int major, int minor);
  // "vaver" 4, "xfp" 5, "adsense" 1, anything else 0; case-sensitive.
  static int requestTypeFromString(const std::string* type);

 private:
  std::shared_ptr<StringList> testDevices_;
  bool testing_ = false;
  std::shared_ptr<platform::Dictionary> additionalParameters_;
  std::int32_t gender_ = kGADGenderUnknown;
  std::optional<platform::Value::Date> birthday_;
  std::shared_ptr<GADLocation> location_;
  std::shared_ptr<StringList> keywords_;
  bool interstitialAd_ = false;
  std::int32_t counter_ = 0;
};
