#include "ads/request/GADNetworkUtilities.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "platform/ASCII.h"
#include "platform/UTF8.h"

namespace {

std::optional<std::string>& storedUserAgent() {
  static std::optional<std::string> agent;
  return agent;
}

// Percent escapes replaced; nullopt for a malformed escape or a result that
// is not UTF-8.
std::optional<std::string> unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = platform::ascii::hexValue(text[i + 1]), low = platform::ascii::hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (!platform::isValidUTF8(out)) return std::nullopt;
  return out;
}

}  // namespace

const std::optional<std::string>& GADNetworkUtilities::userAgentString() { return storedUserAgent(); }

void GADNetworkUtilities::setUserAgentString(const std::string& userAgent) {
  if (userAgent.empty() || storedUserAgent() == userAgent) return;
  storedUserAgent() = userAgent;
}

void GADNetworkUtilities::resetUserAgentForTesting() { storedUserAgent().reset(); }

std::string GADNetworkUtilities::encodeURL(const std::string& text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    if (platform::ascii::isAlnum(static_cast<char>(c)) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

std::string GADNetworkUtilities::textOfValue(const platform::Value& value) {
  if (const auto* text = value.asString()) return *text;
  if (const auto* integer = value.asInteger()) return std::to_string(*integer);
  if (const auto* boolean = value.asBoolean()) return *boolean ? "1" : "0";
  if (const auto* decimal = value.asDecimal()) return decimal->literal;
  if (const auto* real = value.asReal()) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
    return std::string(buffer, result.ptr);
  }
  return value.description();
}

std::optional<platform::URL> GADNetworkUtilities::appendQueryParametersToURL(const platform::Dictionary& parameters,
                                                                             const platform::URL& url) {
  // Parameters go into the query, before any fragment: a fragment is
  // never sent, and what follows "#" would be lost with it.
  std::string text = url.absoluteString();
  std::string fragment;
  if (const size_t hash = text.find('#'); hash != std::string::npos) {
    fragment = text.substr(hash);
    text.resize(hash);
  }
  const bool hasQuery = url.query().has_value() && !url.query()->empty();
  bool first = true;
  for (const auto& [key, value] : parameters) {
    text += (first && !hasQuery) ? '?' : '&';
    first = false;
    text += key;
    const std::string escaped = encodeURL(textOfValue(value));
    if (!escaped.empty()) {
      text += '=';
      text += escaped;
    }
  }
  return platform::URL::create(text + fragment);
}

std::optional<platform::URL> GADNetworkUtilities::appendQueryKeyValueToURL(const std::string& key,
                                                                           const std::optional<platform::Value>& value,
                                                                           const platform::URL& url) {
  platform::Dictionary one;
  one.set(key, value ? *value : platform::Value(""));
  return appendQueryParametersToURL(one, url);
}

std::optional<std::string> GADNetworkUtilities::parameterValueForKeyFromURL(const std::string& key,
                                                                             const platform::URL& url) {
  if (!url.query()) return std::nullopt;
  std::string_view query = *url.query();
  while (true) {
    const size_t amp = query.find('&');
    const std::string_view item = query.substr(0, amp);
    const size_t equals = item.find('=');
    if (equals != std::string_view::npos && item.substr(0, equals) == key) {
      std::string_view rest = item.substr(equals + 1);
      return std::string(rest.substr(0, rest.find('=')));
    }
    if (amp == std::string_view::npos) return std::nullopt;
    query = query.substr(amp + 1);
  }
}

platform::Dictionary GADNetworkUtilities::dictionaryFromQueryString(const std::string* query) {
  platform::Dictionary result;
  if (!query) return result;
  std::string_view text = *query;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && platform::ascii::isSpace(text[i])) ++i;
    const size_t end = text.find_first_of("&;", i);
    const std::string_view run = text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
    i = end == std::string_view::npos ? text.size() : end;
    while (i < text.size() && (text[i] == '&' || text[i] == ';')) ++i;
    const size_t equals = run.find('=');
    if (equals == std::string_view::npos || run.find('=', equals + 1) != std::string_view::npos) continue;
    auto key = unescape(run.substr(0, equals));
    auto value = unescape(run.substr(equals + 1));
    if (!key || !value) continue;
    for (char& c : *key) c = platform::ascii::toLower(c);
    result.set(*key, *value);
  }
  return result;
}
