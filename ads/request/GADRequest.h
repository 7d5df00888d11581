// An ad request as the application configures it. GADRequest is the public
// interface; every request really made is a GADRequestPrivate (request()
// and copy() build one), which holds the state. Object values (keyword and
// test-device lists, extras) are shared, not copied, between a request and
// its copies. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

class GADLocation;

enum GADGender : std::int32_t {
  kGADGenderUnknown = 0,
  kGADGenderMale = 1,
  kGADGenderFemale = 2,
};

class GADRequest {
 public:
  using StringList = std::vector<std::string>;

  virtual ~GADRequest() = default;
  GADRequest(const GADRequest&) = delete;
  GADRequest& operator=(const GADRequest&) = delete;

  // A new request with every field at its default; a GADRequestPrivate.
  static std::shared_ptr<GADRequest> request();
  // "zovo-sdk-i-v4.1.0", made once.
  static const std::string& sdkVersion();

  // A new GADRequestPrivate initialised from this request's getters.
  std::shared_ptr<GADRequest> copy() const;

  // The public type keeps nothing: its getters answer the defaults and its
  // setters do nothing. GADRequestPrivate implements them.
  virtual std::shared_ptr<platform::Dictionary> additionalParameters() const { return nullptr; }
  virtual void setAdditionalParameters(std::shared_ptr<platform::Dictionary>) {}
  virtual std::shared_ptr<StringList> testDevices() const { return nullptr; }
  virtual void setTestDevices(std::shared_ptr<StringList>) {}
  virtual bool isTesting() const { return false; }
  virtual void setTesting(bool) {}
  virtual std::int32_t gender() const { return kGADGenderUnknown; }
  virtual void setGender(std::int32_t) {}
  virtual std::optional<platform::Value::Date> birthday() const { return std::nullopt; }
  virtual void setBirthday(std::optional<platform::Value::Date>) {}
  virtual std::shared_ptr<StringList> keywords() const { return nullptr; }
  virtual void setKeywords(std::shared_ptr<StringList>) {}
  virtual bool isInterstitialAd() const { return false; }
  virtual std::shared_ptr<GADLocation> location() const { return nullptr; }

  virtual void setBirthdayWithMonthDayYear(int, int, int) {}
  virtual void setLocationWithLatitudeLongitudeAccuracy(float, float, float) {}
  virtual void setLocationWithDescription(const std::string&) {}
  virtual void addKeyword(const std::string&) {}

  // The request parameter dictionary (empty for the public type).
  virtual platform::Dictionary parameters() const { return {}; }
  // "GADRequest<address>: " followed by the set pieces.
  virtual std::string description() const;

 protected:
  GADRequest() = default;
};
