#include "ads/request/GADNumberUtilities.h"
#include "platform/NumberText.h"


std::string GADNumberUtilities::stringWithFloat(float value) {
  std::string text = platform::NumberText::fixed(static_cast<double>(value), 6);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}
