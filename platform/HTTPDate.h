// HTTP dates (RFC 9110 5.6.7), independent of the locale: written in the
// preferred form, read in all three that recipients must accept.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace platform {

class HTTPDate {
 public:
  // "Sun, 06 Nov 1994 08:49:37 GMT".
  static std::string format(std::time_t time);
  // That form, the obsolete RFC 850 form ("Sunday, 06-Nov-94 08:49:37 GMT")
  // or the asctime form ("Sun Nov  6 08:49:37 1994"); " GMT" may be left
  // off the first two. Nullopt for anything else.
  static std::optional<std::time_t> parse(const std::string& text);
};

}  // namespace platform
