// The process-wide centre on which ad messages that no web view delegate
// handles itself are posted by name, with the sending web view as object
// and the message's parameters as user info. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ads/content/GADNotification.h"
#include "platform/NotificationCenter.h"

namespace platform {
class WebView;
}

class GADNotificationCenter : public platform::NotificationCenter {
 public:
  static GADNotificationCenter& defaultCenter();
  static void resetDefaultForTesting();

  // Posts the message of `url` now, from `sender`; a URL that gives no
  // message posts nothing.
  void postNotificationFromURLObject(const platform::URL& url, const void* sender);
  // The same after `delaySeconds` on the main run loop (0: on a later turn,
  // never inside this call). The pending posting holds `sender` (may be
  // null) until it has run, so a sender that goes first stays until then.
  void postNotificationFromURLObjectWithDelay(const platform::URL& url, std::shared_ptr<void> sender,
                                              double delaySeconds);

  // The script that hands the event `name` with `userInfo` (as JSON) to a
  // page's receiving function. `name` is put between single quotes as it
  // is, so it must be one of the client's own event names (letters, digits
  // and "_"): any other text, which could close the quotes and run as
  // script, gives nullopt. The script's value is undefined whatever the
  // function returns or throws (platform::WebView::scriptWithoutValue).
  static std::optional<std::string> scriptForJSNotification(const std::string& name,
                                                            const std::optional<platform::Dictionary>& userInfo);
  // Sends that event to the page in `webView` (nothing without one); the
  // script's result is not examined.
  static void postJSNotificationUserInfoWebView(const std::string& name,
                                                const std::optional<platform::Dictionary>& userInfo,
                                                platform::WebView* webView);
};
