// The HTTP date form of RFC 9110 (IMF-fixdate), independent of the locale.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace platform {

class HTTPDate {
 public:
  // "Sun, 06 Nov 1994 08:49:37 GMT".
  static std::string format(std::time_t time);
  // The same form, with or without the " GMT" at the end; nullopt for
  // anything else.
  static std::optional<std::time_t> parse(const std::string& text);
};

}  // namespace platform
