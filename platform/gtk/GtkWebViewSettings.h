// What a page may do in any web view of ours, stated once. Ad pages, and
// every page reached from them, are untrusted: none opens windows by
// script, reaches file URLs or another origin through them, navigates the
// whole view to a data URL, reads the clipboard, or plays media before the
// user asks (a screen the user opened asks for its page: see
// WebView::setMediaPlaybackRequiresUserAction); the product offers no
// developer tools.
//
// WebKit's web-process sandbox is WebKit's own and stays on: only the
// environment can turn it off (the test run, and ./run as root, where it
// cannot start inside a container).
#pragma once

#include <webkit/webkit.h>

#include <string>

#include "platform/WebView.h"

namespace platform::gtk {

class GtkWebViewSettings {
 public:
  // Per web process: all the ad pages (both banners, the build-ad page,
  // the web application) share one process, whose own share is about
  // 100 MB; an ad page needs a few tens. 512 MB leaves room for every ad
  // page at once and ends one that grows without end within a second or two
  // of passing it. Each in-app browser's site, reached from an ad and as
  // untrusted, has a process of its own with the same limit.
  static constexpr unsigned kMemoryLimitMegabytes = 512;
  // The fraction of the limit at which WebKit ends the process (it must be
  // above its strict threshold): at the limit itself. The conservative and
  // strict thresholds, where the process starts to release memory (a third
  // and a half of the limit), stay WebKit's.
  static constexpr double kKillThreshold = 1.0;
  // How often the process's memory is read against the limit.
  static constexpr double kMemoryPollSeconds = 1.0;

  // A new web view of the application's web context (the memory limit)
  // and of the default network session (the cookies the client shares).
  // The ad pages share one web process, which starts with the first of
  // them; a browsing page has its own, so that one that hangs holds up no
  // other page, and its end ends nothing else.
  static WebKitWebView* makeWebView(WebProcessGroup group);
  // Starts the ads' web process when the loop is next idle, so that the
  // first ad does not wait for it.
  static void startWebProcessSoon();
  // Blocks the scripts a page of `manager`'s loads by that file name (see
  // WebViewPeer::blockScriptsNamed). WebKit compiles the rule once per
  // name, on its own thread, and every manager waiting for it gets it once
  // it is ready: well before an ad's page loads, which follows a request
  // and a fetch.
  static void blockScriptsNamed(WebKitUserContentManager* manager, const std::string& fileName);
  // Sets every rule above on the web view's settings, for its kind of page.
  static void apply(WebKitWebView* webView, WebProcessGroup group);
};

}  // namespace platform::gtk
