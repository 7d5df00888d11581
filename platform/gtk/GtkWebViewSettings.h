// What a page may do in any web view of ours, stated once. Ad pages, and
// every page reached from them, are untrusted: none opens windows by
// script, reaches file URLs or another origin through them, navigates the
// whole view to a data URL, reads the clipboard, or plays media before the
// user asks; the product offers no developer tools.
//
// WebKit's web-process sandbox is WebKit's own and stays on: only the
// environment can turn it off (the test run, and ./run as root, where it
// cannot start inside a container).
#pragma once

#include <webkit/webkit.h>

#include "platform/WebView.h"

namespace platform::gtk {

class GtkWebViewSettings {
 public:
  static constexpr unsigned kMemoryLimitMegabytes = 512;

  // A new web view of the application's web context (the memory limit)
  // and of the default network session (the cookies the client shares).
  // All of a group share one web process, which starts with the first of
  // them.
  static WebKitWebView* makeWebView(WebProcessGroup group);
  // Starts the ads' web process when the loop is next idle, so that the
  // first ad does not wait for it.
  static void startWebProcessSoon();
  // Sets every rule above on the web view's settings, for its kind of page.
  static void apply(WebKitWebView* webView, WebProcessGroup group);
};

}  // namespace platform::gtk
