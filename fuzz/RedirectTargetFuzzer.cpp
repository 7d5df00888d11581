// Redirects to any Location a server could send: the first byte picks the
// status (301, 302, 303, 307, 308) and the method (GET, HEAD, POST, PUT,
// DELETE), the second the URL redirected from; the rest is the Location.
// The oracle:
// - the next hop is refused as a bad URL, or its URL is one URL::create
//   takes as written, with no raw space, control byte or byte past ASCII;
// - an http or https URL has a host (one off the web goes to the delegate,
//   as a click's store or dialler does; the transport fetches no such URL);
// - a Location that is already an absolute http URL of safe characters is
//   the next hop's URL as written;
// - the method is GET after a 303 (but HEAD stays HEAD), and after a 301 or
//   302 of a POST; otherwise it is kept;
// - If-Modified-Since and If-None-Match are gone, every other field stays.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/RedirectTarget.h"
#include "platform/URLError.h"

using platform::RedirectTarget;
using platform::URL;
using platform::URLRequest;

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

// "http://" then a host and a path and query of lower-case letters, digits
// and "-._~/?=&", with no dot segment for resolution to remove.
bool isPlainHTTPURL(std::string_view text) {
  if (!text.starts_with("http://") || text.size() == 7 || text[7] == '/' || text[7] == '?' || text[7] == '.')
    return false;
  if (text.find("/.") != text.npos || text.find("..") != text.npos) return false;
  for (const char c : text.substr(7))
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || std::string_view("-._~/?=&").find(c) != text.npos))
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const int statuses[] = {301, 302, 303, 307, 308};
  static const char* const methods[] = {"GET", "HEAD", "POST", "PUT", "DELETE"};
  static const char* const bases[] = {"http://ads.example/a/b/c?x=1#f", "https://[::1]:8443/", "http://h/",
                                      "https://user@cdn.example/p%20q/r;s?t"};
  const int status = statuses[data[0] % 5];
  const std::string method = methods[(data[0] / 5) % 5];
  URLRequest request(*URL::create(bases[data[1] % 4]));
  request.setMethod(method);
  request.setValueForHTTPHeaderField("Sat, 01 Jan 2026 00:00:00 GMT", "If-Modified-Since");
  request.setValueForHTTPHeaderField("\"v1\"", "If-None-Match");
  request.setValueForHTTPHeaderField("Agent/1.0", "User-Agent");
  const std::string_view location(reinterpret_cast<const char*>(data + 2), size - 2);

  const auto next = RedirectTarget::next(request, status, location);
  if (!next) {
    check(next.error().code == platform::kURLErrorBadURL);
    return 0;
  }
  const std::string& text = next->url().absoluteString();
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    check(byte > 0x20 && byte < 0x7f);
  }
  const auto again = URL::create(text);
  check(again && again->absoluteString() == text && again->isAbsolute());
  const std::string& scheme = next->url().scheme();
  if (scheme == "http" || scheme == "https") check(!next->url().host().empty());
  if (isPlainHTTPURL(location)) check(text == location);

  const bool toGet = (status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST");
  check(next->method() == (toGet ? "GET" : method));
  check(!next->valueForHTTPHeaderField("If-Modified-Since") && !next->valueForHTTPHeaderField("If-None-Match"));
  check(next->valueForHTTPHeaderField("User-Agent") == "Agent/1.0");
  check(next->allHTTPHeaderFields().size() == 1);
  return 0;
}
