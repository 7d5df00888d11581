#include "platform/HTTPDate.h"

#include <curl/curl.h>
#include <libsoup/soup.h>

namespace platform {

// libsoup writes the preferred form with its own English names, whatever
// the locale.
std::string HTTPDate::format(std::time_t time) {
  GDateTime* moment = g_date_time_new_from_unix_utc(static_cast<gint64>(time));
  if (!moment) return {};
  char* text = soup_date_time_to_string(moment, SOUP_DATE_HTTP);
  std::string written = text ? text : "";
  g_free(text);
  g_date_time_unref(moment);
  return written;
}

// curl reads all three forms (and a named zone, which libsoup misreads).
// It reads years of any length, yet none before 1583, though a zone's
// offset reaches back past that: only times that come back the same when
// written are taken.
std::optional<std::time_t> HTTPDate::parse(const std::string& text) {
  constexpr std::time_t kFirstReadable = -12212553600;  // 1583-01-01 00:00:00 GMT
  constexpr std::time_t kLastWritable = 253402300799;   // 9999-12-31 23:59:59 GMT
  const time_t time = curl_getdate(text.c_str(), nullptr);
  if (time == -1 || time < kFirstReadable || time > kLastWritable) return std::nullopt;
  return time;
}

}  // namespace platform
