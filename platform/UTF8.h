// UTF-8 validation (RFC 3629: no overlong forms, no surrogates, nothing
// above U+10FFFF).
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// The length of the well-formed sequence that starts with a byte of at
// least 0x80 at `p`, or 0 when there is none before `end`. Inline: scanners
// call it per character.
inline size_t utf8SequenceLength(const char* p, const char* end) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  const size_t available = static_cast<size_t>(end - p);
  const unsigned char c = u[0];
  if (c >= 0xC2 && c <= 0xDF) return available >= 2 && (u[1] & 0xC0) == 0x80 ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (available < 3 || (u[1] & 0xC0) != 0x80 || (u[2] & 0xC0) != 0x80) return 0;
    if ((c == 0xE0 && u[1] < 0xA0) || (c == 0xED && u[1] >= 0xA0)) return 0;  // overlong, surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (available < 4 || (u[1] & 0xC0) != 0x80 || (u[2] & 0xC0) != 0x80 || (u[3] & 0xC0) != 0x80) return 0;
    if ((c == 0xF0 && u[1] < 0x90) || (c == 0xF4 && u[1] >= 0x90)) return 0;  // overlong, above U+10FFFF
    return 4;
  }
  return 0;
}

bool isValidUTF8(std::string_view text);

}  // namespace platform
