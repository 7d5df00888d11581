#include "platform/HTTPDate.h"

#include <curl/curl.h>
#include <libsoup/soup.h>

#include <string_view>
#include <vector>

#include "platform/ASCII.h"

namespace platform {

namespace {

// The month a three-letter name names (without case), 1 to 12; 0 for none.
int monthNamed(std::string_view name) {
  static constexpr std::string_view names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                               "jul", "aug", "sep", "oct", "nov", "dec"};
  if (name.size() != 3) return 0;
  for (int i = 0; i < 12; ++i) {
    if (ascii::toLower(name[0]) == names[i][0] && ascii::toLower(name[1]) == names[i][1] &&
        ascii::toLower(name[2]) == names[i][2])
      return i + 1;
  }
  return 0;
}

// curl carries a day past its month's end into the next month ("31 Nov" is
// 1 Dec). The day is the number of one or two digits beside the month's
// name: before it ("06 Nov 1994", "06-Nov-94"), else after it ("Nov  6").
// The year is the one curl read (a day past the end moves no date out of
// February's year).
bool namesADayPastItsMonth(const std::string& text, std::time_t read) {
  std::vector<std::string_view> tokens;
  for (size_t at = 0; at < text.size();) {
    size_t end = at;
    const bool digits = ascii::isDigit(text[at]);
    while (end < text.size() && (digits ? ascii::isDigit(text[end]) : ascii::isAlpha(text[end]))) ++end;
    if (end == at) {
      ++at;
      continue;
    }
    tokens.push_back(std::string_view(text).substr(at, end - at));
    at = end;
  }
  for (size_t i = 0; i < tokens.size(); ++i) {
    const int month = monthNamed(tokens[i]);
    if (month == 0) continue;
    const auto isDay = [](std::string_view token) {
      return !token.empty() && token.size() <= 2 && ascii::isDigit(token[0]);
    };
    std::string_view day;
    if (i > 0 && isDay(tokens[i - 1])) day = tokens[i - 1];
    else if (i + 1 < tokens.size() && isDay(tokens[i + 1])) day = tokens[i + 1];
    if (day.empty()) return false;
    const int number = day.size() == 1 ? day[0] - '0' : (day[0] - '0') * 10 + (day[1] - '0');
    std::tm parts{};
    if (!gmtime_r(&read, &parts)) return false;
    const int year = parts.tm_year + 1900;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return number > lengths[month - 1] + (month == 2 && leap ? 1 : 0);
  }
  return false;
}

}  // namespace

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
  if (namesADayPastItsMonth(text, time)) return std::nullopt;
  return time;
}

}  // namespace platform
