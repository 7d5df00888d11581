#include "platform/HTTPDate.h"

#include <cstdio>
#include <cstring>

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

std::optional<std::time_t> HTTPDate::parse(const std::string& text) {
  char day[4] = {}, month[4] = {};
  int mday = 0, year = 0, hour = 0, minute = 0, second = 0, consumed = 0;
  if (std::sscanf(text.c_str(), "%3[A-Za-z], %d %3[A-Za-z] %d %d:%d:%d%n", day, &mday, month, &year, &hour, &minute,
                  &second, &consumed) != 7)
    return std::nullopt;
  std::string rest = text.substr(static_cast<size_t>(consumed));
  while (!rest.empty() && rest.front() == ' ') rest.erase(rest.begin());
  while (!rest.empty() && rest.back() == ' ') rest.pop_back();
  if (!rest.empty() && rest != "GMT") return std::nullopt;
  int monthIndex = -1;
  for (int i = 0; i < 12; ++i)
    if (std::strcmp(month, kMonths[i]) == 0) monthIndex = i;
  if (monthIndex < 0 || mday < 1 || mday > 31 || hour > 23 || minute > 59 || second > 60 || year < 1970)
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

}  // namespace platform
