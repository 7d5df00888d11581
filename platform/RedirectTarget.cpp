#include "platform/RedirectTarget.h"

#include <cstdio>

#include "platform/URLError.h"

namespace platform {

std::string RedirectTarget::escapedAsBrowsersDo(std::string_view location) {
  std::string out;
  out.reserve(location.size());
  for (const char c : location) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>' || c == '`') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::expected<URLRequest, Error> RedirectTarget::next(const URLRequest& redirected, int status,
                                                      std::string_view location) {
  auto target = URL::create(escapedAsBrowsersDo(location), redirected.url());
  const bool web = target && (target->scheme() == "http" || target->scheme() == "https");
  if (!target || (web && target->host().empty()))
    return std::unexpected(Error{kURLErrorDomain, kURLErrorBadURL, "bad redirect location " + std::string(location)});
  URLRequest next = redirected;
  next.setURL(*target);
  // RFC 9110 13.1: a precondition is about the resource it was asked of;
  // the next hop is another (often another site's), which learns nothing
  // of what we hold of the first.
  next.removeHTTPHeaderField("If-Modified-Since");
  next.removeHTTPHeaderField("If-None-Match");
  // RFC 9110 15.4: a 303 continues as GET (a HEAD as HEAD), and so does a
  // 301 or 302 after POST, as browsers do; 307 and 308 keep the method.
  const std::string& method = redirected.method();
  if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST"))
    next.setMethod("GET");
  return next;
}

}  // namespace platform
