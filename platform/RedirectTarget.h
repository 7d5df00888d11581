// Where a redirect leads (RFC 9110 15.4), as a pure function of the request
// that was redirected, the answer's status and its Location: the Location
// escaped as browsers escape it and resolved against the request's URL, the
// method changed where the RFC lets a client change it, and the first
// resource's preconditions dropped. Whether the hop is taken is the
// delegate's to say, and whether it can be fetched the transport's (a
// redirect off the web, to a store or a dialler, is where a click lands:
// its delegate is shown it).
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/URLRequest.h"

namespace platform {

class RedirectTarget {
 public:
  // The request for the next hop; kURLErrorBadURL for a Location that makes
  // no URL, or an http or https one without a host.
  static std::expected<URLRequest, Error> next(const URLRequest& redirected, int status, std::string_view location);

  // A Location as servers send it: browsers percent-escape a raw space,
  // control characters, bytes past ASCII and the few characters a URL
  // never holds as written, rather than refuse the hop (WHATWG URL, the
  // percent-encode sets). What is already escaped stays as it is.
  static std::string escapedAsBrowsersDo(std::string_view location);
};

}  // namespace platform
