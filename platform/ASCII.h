// Character classes and case of ASCII, the same under every locale (the
// <cctype> functions follow LC_CTYPE, which the toolkit adopts from the
// user's environment; protocol text is ASCII by definition).
#pragma once

#include <string>
#include <string_view>

namespace platform::ascii {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool isAlnum(char c) { return isDigit(c) || isAlpha(c); }
constexpr bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// The text without the ASCII white space at either end.
inline std::string trimmed(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && isSpace(text[begin])) ++begin;
  while (end > begin && isSpace(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}
constexpr char toLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The same text but for the case of ASCII letters (names of header fields
// and codings), whatever the locale.
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (toLower(a[i]) != toLower(b[i])) return false;
  return true;
}
// The value of a hexadecimal digit; -1 for anything else.
constexpr int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace platform::ascii
