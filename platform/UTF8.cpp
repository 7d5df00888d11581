#include "platform/UTF8.h"

namespace platform {

bool isValidUTF8(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    if (static_cast<unsigned char>(*p) < 0x80) {
      ++p;
      continue;
    }
    const size_t length = utf8SequenceLength(p, end);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

}  // namespace platform
