// HTTP dates (RFC 9110 5.6.7), independent of the locale: written in the
// preferred form (by libsoup), read in all three that recipients must accept
// (by curl).
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
  // or the asctime form ("Sun Nov  6 08:49:37 1994"), the zone named or
  // not (a named zone other than GMT is read as that zone's time; no HTTP
  // server sends one). Nullopt for what is no date (a day past its month's
  // end included), and for a time before 1583 or past 9999 (GMT), which
  // could not be written and read back.
  static std::optional<std::time_t> parse(const std::string& text);
};

}  // namespace platform
