// The cookie jar of the process's own fetches, for the toolkit to share
// with its web views. A platform-internal header: it names a libsoup type.
#pragma once

typedef struct _SoupCookieJar SoupCookieJar;

namespace platform {

// One jar per main context (tests make a fresh context each), made on first
// use; owned here.
SoupCookieJar* sharedCookieJar();

}  // namespace platform
