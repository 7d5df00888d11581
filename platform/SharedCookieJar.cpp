#include "platform/SharedCookieJar.h"

#include <libsoup/soup.h>

#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"

namespace platform {

namespace {
struct CookieSlot {
  GMainContext* context = nullptr;
  SoupCookieJar* cookies = nullptr;
};
}  // namespace

SoupCookieJar* sharedCookieJar() {
  CookieSlot& slot = processWide<CookieSlot>();
  GMainContext* context = RunLoop::main().context();
  if (slot.cookies && slot.context == context) return slot.cookies;
  if (slot.cookies) g_object_unref(slot.cookies);
  slot.context = context;
  slot.cookies = soup_cookie_jar_new();
  soup_cookie_jar_set_accept_policy(slot.cookies, SOUP_COOKIE_JAR_ACCEPT_ALWAYS);
  return slot.cookies;
}

}  // namespace platform
