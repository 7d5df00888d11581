// One cookie store for web views and the client's own fetches: cookies that
// either side receives are copied to the other (WebKit's default network
// session and the fetches' jar of the main context current when the bridge
// was made), for as long as the bridge lives. Deletions travel from the
// fetches' jar to WebKit only. Main thread only.
#pragma once

#include <libsoup/soup.h>
#include <webkit/webkit.h>

#include "platform/gtk/GObjectPtr.h"

namespace platform::gtk {

class GtkCookieBridge {
 public:
  GtkCookieBridge();
  ~GtkCookieBridge();
  GtkCookieBridge(const GtkCookieBridge&) = delete;
  GtkCookieBridge& operator=(const GtkCookieBridge&) = delete;

 private:
  static void onJarChanged(SoupCookieJar*, SoupCookie* old, SoupCookie* now, gpointer self);
  static void onWebKitChanged(WebKitCookieManager*, gpointer self);

  SoupCookieJar* jar_;
  WebKitCookieManager* manager_;  // owned by WebKit's default session
  GCancellable* cancellable_ = g_cancellable_new();
  // Set while cookies from WebKit go into the jar, so they are not sent back.
  bool importing_ = false;
  ScopedSignal jarChanged_, webKitChanged_;
};

}  // namespace platform::gtk
