#include "platform/HTTPDate.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace platform {

namespace {
// Names spelled out here: the process locale must not change them.
constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
}  // namespace

std::string HTTPDate::format(std::time_t time) {
  std::tm utc{};
  gmtime_r(&time, &utc);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday], utc.tm_mday,
                kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

namespace {

std::optional<std::time_t> makeTime(const char* month, int mday, int year, int hour, int minute, int second) {
  int monthIndex = -1;
  for (int i = 0; i < 12; ++i)
    if (std::strcmp(month, kMonths[i]) == 0) monthIndex = i;
  if (monthIndex < 0 || mday < 1 || mday > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 60 || year < 1970 || year > 9999)
    return std::nullopt;
  std::tm utc{};
  utc.tm_year = year - 1900;
  utc.tm_mon = monthIndex;
  utc.tm_mday = mday;
  utc.tm_hour = hour;
  utc.tm_min = minute;
  utc.tm_sec = second;
  return timegm(&utc);
}

// What follows the time: nothing, or (unless `zoneless`) "GMT", blanks
// around either.
bool endsWell(const std::string& text, int consumed, bool zoneless) {
  std::string rest = text.substr(static_cast<size_t>(consumed));
  while (!rest.empty() && rest.front() == ' ') rest.erase(rest.begin());
  while (!rest.empty() && rest.back() == ' ') rest.pop_back();
  return rest.empty() || (!zoneless && rest == "GMT");
}

// RFC 9110 5.6.7: a two-digit year more than 50 years ahead is the most
// recent past year with the same last two digits.
int fullYear(int twoDigits) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const int current = utc.tm_year + 1900;
  int year = current - current % 100 + twoDigits;
  if (year > current + 50) year -= 100;
  return year;
}

}  // namespace

std::optional<std::time_t> HTTPDate::parse(const std::string& text) {
  char day[10] = {}, month[4] = {};
  int mday = 0, year = 0, hour = 0, minute = 0, second = 0, consumed = 0;
  // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT".
  if (std::sscanf(text.c_str(), "%3[A-Za-z], %d %3[A-Za-z] %d %d:%d:%d%n", day, &mday, month, &year, &hour, &minute,
                  &second, &consumed) == 7)
    return endsWell(text, consumed, false) ? makeTime(month, mday, year, hour, minute, second) : std::nullopt;
  // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT".
  consumed = 0;
  int yearStart = 0, yearEnd = 0;
  if (std::sscanf(text.c_str(), "%9[A-Za-z], %d-%3[A-Za-z]-%n%d%n %d:%d:%d%n", day, &mday, month, &yearStart, &year,
                  &yearEnd, &hour, &minute, &second, &consumed) == 7) {
    if (!endsWell(text, consumed, false)) return std::nullopt;
    if (yearEnd - yearStart == 2) year = fullYear(year);
    return makeTime(month, mday, year, hour, minute, second);
  }
  // asctime: "Sun Nov  6 08:49:37 1994".
  consumed = 0;
  if (std::sscanf(text.c_str(), "%3[A-Za-z] %3[A-Za-z] %d %d:%d:%d %d%n", day, month, &mday, &hour, &minute, &second,
                  &year, &consumed) == 7)
    return endsWell(text, consumed, true) ? makeTime(month, mday, year, hour, minute, second) : std::nullopt;
  return std::nullopt;
}

}  // namespace platform
