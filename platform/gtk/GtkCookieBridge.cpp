#include "platform/gtk/GtkCookieBridge.h"

#include "platform/SharedCookieJar.h"

namespace platform::gtk {

GtkCookieBridge::GtkCookieBridge()
    : jar_(platform::sharedCookieJar()),
      manager_(webkit_network_session_get_cookie_manager(webkit_network_session_get_default())) {
  g_object_ref(jar_);
  jarChanged_ = ScopedSignal(jar_, g_signal_connect(jar_, "changed", G_CALLBACK(onJarChanged), this));
  webKitChanged_ = ScopedSignal(manager_, g_signal_connect(manager_, "changed", G_CALLBACK(onWebKitChanged), this));
}

GtkCookieBridge::~GtkCookieBridge() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  jarChanged_.disconnect();
  webKitChanged_.disconnect();
  g_object_unref(jar_);
}

void GtkCookieBridge::onJarChanged(SoupCookieJar*, SoupCookie* old, SoupCookie* now, gpointer data) {
  auto* self = static_cast<GtkCookieBridge*>(data);
  if (self->importing_) return;
  if (now)
    webkit_cookie_manager_add_cookie(self->manager_, now, self->cancellable_, nullptr, nullptr);
  else if (old)
    webkit_cookie_manager_delete_cookie(self->manager_, old, self->cancellable_, nullptr, nullptr);
}

// WebKit says only that something changed: its whole store is read and
// merged into the jar (a cookie of the same name, domain and path is
// replaced). Cookies the bridge itself sent come back once and change
// nothing.
void GtkCookieBridge::onWebKitChanged(WebKitCookieManager* manager, gpointer data) {
  auto* self = static_cast<GtkCookieBridge*>(data);
  webkit_cookie_manager_get_all_cookies(
      manager, self->cancellable_,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        GError* error = nullptr;
        GList* cookies = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
        if (error) {
          // Cancelled: the bridge has gone.
          g_error_free(error);
          return;
        }
        auto* bridge = static_cast<GtkCookieBridge*>(data);
        bridge->importing_ = true;
        for (GList* c = cookies; c; c = c->next)
          soup_cookie_jar_add_cookie(bridge->jar_, static_cast<SoupCookie*>(c->data));  // takes the cookie
        bridge->importing_ = false;
        g_list_free(cookies);
      },
      self);
}

}  // namespace platform::gtk
