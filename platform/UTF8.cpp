#include "platform/UTF8.h"

namespace platform {

bool isValidUTF8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    if (c >= 0xC2 && c <= 0xDF)
      length = 2;
    else if (c >= 0xE0 && c <= 0xEF)
      length = 3;
    else if (c >= 0xF0 && c <= 0xF4)
      length = 4;
    else
      return false;
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    const unsigned char second = p[i + 1];
    if (c == 0xE0 && second < 0xA0) return false;  // overlong
    if (c == 0xED && second >= 0xA0) return false;  // surrogate
    if (c == 0xF0 && second < 0x90) return false;   // overlong
    if (c == 0xF4 && second >= 0x90) return false;  // above U+10FFFF
    i += length;
  }
  return true;
}

}  // namespace platform
