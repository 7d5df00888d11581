// The user agent for the client's own fetches, and the URL query work of
// the whole client. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/URL.h"
#include "platform/Value.h"

class GADNetworkUtilities {
 public:
  // Nullopt until a non-empty one is set.
  static const std::optional<std::string>& userAgentString();
  // Ignores empty text and the text already stored.
  static void setUserAgentString(const std::string& userAgent);
  static void resetUserAgentForTesting();

  // Every UTF-8 byte but ASCII letters, digits and "-._~" as "%XX".
  static std::string encodeURL(const std::string& text);
  // `url` with each entry appended as "key=escaped value" ("key" alone when
  // the escaped value is empty), after "&" when the URL has a non-empty
  // query, else "?". Nullopt when the result is no URL.
  static std::optional<platform::URL> appendQueryParametersToURL(const platform::Dictionary& parameters,
                                                                 const platform::URL& url);
  // A null value appends the bare key.
  static std::optional<platform::URL> appendQueryKeyValueToURL(const std::string& key,
                                                               const std::optional<platform::Value>& value,
                                                               const platform::URL& url);
  // The raw text after "key=" up to the next "=" or the end, of the first
  // query item with that key and an "="; not unescaped.
  static std::optional<std::string> parameterValueForKeyFromURL(const std::string& key, const platform::URL& url);
  // Items split at "&" or ";"; each exactly "key=value", both unescaped,
  // keys lowercased; anything else is skipped. Later keys win.
  static platform::Dictionary dictionaryFromQueryString(const std::string* query);

  // A value's text form: texts as themselves, numbers in decimal.
  static std::string textOfValue(const platform::Value& value);
};
