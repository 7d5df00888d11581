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
std::optional<std::time_t> HTTPDate::parse(const std::string& text) {
  const time_t time = curl_getdate(text.c_str(), nullptr);
  if (time == -1) return std::nullopt;
  return time;
}

}  // namespace platform
