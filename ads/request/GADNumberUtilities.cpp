#include "ads/request/GADNumberUtilities.h"

#include <cstdio>

std::string GADNumberUtilities::stringWithFloat(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  std::string text = buffer;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}
