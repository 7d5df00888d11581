#include "platform/URL.h"
#include "platform/ASCII.h"

#include <glib.h>


namespace platform {

namespace {

// What a web view hands over after its URL parser (the WHATWG rules) has
// escaped the rest: printable ASCII but for the space, '"', '<' and '>'.
// Escapes need not be well formed ("100%" stays as written), and a
// fragment may hold '#'.
bool isValidReference(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f || c == '"' || c == '<' || c == '>') return false;
  }
  return true;
}

std::string unescape(const char* text) {
  if (!text) return {};
  char* plain = g_uri_unescape_string(text, nullptr);
  if (!plain) return text;
  std::string out = plain;
  g_free(plain);
  return out;
}

}  // namespace

std::optional<URL> URL::create(std::string_view text) {
  if (!isValidReference(text)) return std::nullopt;
  URL url;
  url.text_ = std::string(text);
  // A reference without a scheme stays relative: only its text, path,
  // query and fragment.
  const size_t colon = text.find(':');
  const size_t firstDelimiter = text.find_first_of("/?#");
  const bool hasScheme = colon != std::string_view::npos && colon > 0 &&
                         (firstDelimiter == std::string_view::npos || colon < firstDelimiter) &&
                         ascii::isAlpha(text[0]);
  // Path, query and fragment are cut from the text itself, as it was
  // written; GUri only reads the authority (it would normalise the rest).
  std::string_view rest = text;
  if (size_t hash = rest.find('#'); hash != std::string_view::npos) {
    url.fragment_ = std::string(rest.substr(hash + 1));
    rest = rest.substr(0, hash);
  }
  if (size_t question = rest.find('?'); question != std::string_view::npos) {
    url.query_ = std::string(rest.substr(question + 1));
    rest = rest.substr(0, question);
  }
  if (!hasScheme) {
    url.escapedPath_ = std::string(rest);
    return url;
  }
  rest = rest.substr(colon + 1);
  if (rest.substr(0, 2) == "//") {
    const size_t slash = rest.find('/', 2);
    url.escapedPath_ = slash == std::string_view::npos ? std::string() : std::string(rest.substr(slash));
  } else {
    url.escapedPath_ = std::string(rest);
  }
  // Relaxed: an escape that is no escape is the text's own business; only
  // the authority must be sound (its host, a port in range).
  GError* error = nullptr;
  GUri* uri = g_uri_parse(url.text_.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_PARSE_RELAXED),
                          &error);
  if (!uri) {
    g_error_free(error);
    return std::nullopt;
  }
  url.scheme_ = g_uri_get_scheme(uri);
  for (char& c : url.scheme_) c = ascii::toLower(c);
  url.host_ = unescape(g_uri_get_host(uri));
  if (g_uri_get_port(uri) >= 0) url.port_ = g_uri_get_port(uri);
  g_uri_unref(uri);
  return url;
}

std::optional<URL> URL::create(std::string_view reference, const URL& base) {
  if (!isValidReference(reference)) return std::nullopt;
  GError* error = nullptr;
  char* resolved = g_uri_resolve_relative(base.text_.c_str(), std::string(reference).c_str(),
                                          static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_PARSE_RELAXED), &error);
  if (!resolved) {
    g_error_free(error);
    return std::nullopt;
  }
  auto url = create(resolved);
  g_free(resolved);
  return url;
}

std::string URL::path() const { return unescape(escapedPath_.c_str()); }

}  // namespace platform
