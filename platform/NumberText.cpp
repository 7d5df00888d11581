#include "platform/NumberText.h"

#include <charconv>
#include <cmath>

namespace platform {

namespace {

std::string format(double value, std::chars_format style, int precision) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  // Fixed notation of the largest double has 309 digits before the point.
  char buffer[320 + 64];
  const int digits = precision < 0 ? 6 : (precision > 60 ? 60 : precision);
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, style, digits);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string NumberText::fixed(double value, int decimals) { return format(value, std::chars_format::fixed, decimals); }

std::string NumberText::general(double value, int precision) {
  return format(value, std::chars_format::general, precision == 0 ? 1 : precision);
}

std::optional<double> NumberText::parse(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

}  // namespace platform
