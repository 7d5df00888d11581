// A URL: the text it was made from, kept byte for byte, and its parts. Made
// from text as a web view hands it over (its URL parser has escaped what
// must be: spaces, quotes, angle brackets, bytes beyond ASCII), read as
// browsers read it: an escape that is none stays as written, and the
// fragment runs from the first '#'. An absolute URL also has its scheme,
// host, port, path and query parsed; its authority must be sound.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

class URL {
 public:
  // Nullopt when `text` is empty, holds what a web view would have
  // escaped, or has an unsound authority (a port out of range, say).
  static std::optional<URL> create(std::string_view text);
  // `reference` resolved against `base` (for redirect locations).
  static std::optional<URL> create(std::string_view reference, const URL& base);

  // The text it was made from.
  const std::string& absoluteString() const { return text_; }
  bool isAbsolute() const { return !scheme_.empty(); }
  // Lowercase, as RFC 3986 compares schemes.
  const std::string& scheme() const { return scheme_; }
  // The scheme as the text spells it, for protocols of our own that compare
  // schemes exactly ("gmsg" is a message URL, "GMSG" is not).
  std::string_view schemeAsWritten() const { return std::string_view(text_).substr(0, scheme_.size()); }
  // Escapes decoded; IPv6 literals without their brackets.
  const std::string& host() const { return host_; }
  std::optional<int> port() const { return port_; }
  // Escapes decoded; as written when one is no escape.
  std::string path() const;
  // Still escaped, without the "?"; nullopt when there is no "?".
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }

  bool operator==(const URL& other) const { return text_ == other.text_; }

 private:
  URL() = default;
  std::string text_;
  std::string scheme_;
  std::string host_;
  std::optional<int> port_;
  std::string escapedPath_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

}  // namespace platform
