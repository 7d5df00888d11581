#include "ads/request/GADRequest.h"

#include <cstdio>

#include "ads/request/GADRequestPrivate.h"

std::shared_ptr<GADRequest> GADRequest::request() { return std::make_shared<GADRequestPrivate>(); }

const std::string& GADRequest::sdkVersion() {
  static const std::string version = [] {
    char text[48];
    std::snprintf(text, sizeof text, "zovo-sdk-i-v%d.%d.%d", 4, 1, 0);
    return std::string(text);
  }();
  return version;
}

std::shared_ptr<GADRequest> GADRequest::copy() const { return std::make_shared<GADRequestPrivate>(*this); }

std::string GADRequest::description() const {
  char head[64];
  std::snprintf(head, sizeof head, "GADRequest<%p>: ", static_cast<const void*>(this));
  std::string text = head;
  const std::int32_t g = gender();
  if (g == kGADGenderMale) text += "\ngender:Male";
  if (g == kGADGenderFemale) text += "\ngender:Female";
  if (auto date = birthday()) text += "\nbirthday:" + platform::Value(*date).description();
  if (auto list = keywords()) {
    platform::Value::Array array(list->begin(), list->end());
    text += "\nkeywords:" + platform::Value(std::move(array)).description();
  }
  if (auto extras = additionalParameters()) text += "\nadditionalParameters:" + platform::Value(*extras).description();
  return text;
}
