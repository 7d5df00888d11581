#include "ads/content/GADNotification.h"

#include <cstdio>

#include "ads/request/GADNetworkUtilities.h"

bool GADNotification::isNotificationURL(const platform::URL& url) {
  return isGMSGNotificationURL(url) || isVaVerNotificationURL(url);
}

bool GADNotification::isGMSGNotificationURL(const platform::URL& url) {
  return url.schemeAsWritten() == kURLNotificationScheme;
}

bool GADNotification::isVaVerNotificationURL(const platform::URL& url) {
  return url.schemeAsWritten() == kURLVaVerNotificationScheme;
}

std::optional<GADNotification> GADNotification::notificationFromURL(const platform::URL& url) {
  const std::string* query = url.query() ? &*url.query() : nullptr;
  if (isGMSGNotificationURL(url)) {
    // The name is the path less its leading character; with no path there
    // is no name to take.
    const std::string path = url.path();
    if (path.empty()) return std::nullopt;
    return GADNotification(path.substr(1), GADNetworkUtilities::dictionaryFromQueryString(query));
  }
  if (!isVaVerNotificationURL(url)) return std::nullopt;
  const std::string& host = url.host();
  if (host == "launch") {
    platform::Dictionary parameters{{"a", "browser"}};
    const platform::Dictionary asked = GADNetworkUtilities::dictionaryFromQueryString(query);
    if (const platform::Value* target = asked.find(kURLKey)) parameters.set("u", *target);
    return GADNotification("open", std::move(parameters));
  }
  if (host == "closecanvas") return GADNotification("close", std::nullopt);
  if (host == "log") return GADNotification("log", GADNetworkUtilities::dictionaryFromQueryString(query));
  return std::nullopt;
}

bool GADNotification::isCloseURL(const platform::URL& url) {
  if (isGMSGNotificationURL(url)) return url.path() == "/close";
  return isVaVerNotificationURL(url) && url.host() == "closecanvas";
}

std::string GADNotification::description() const {
  char head[64];
  std::snprintf(head, sizeof head, "GADNotification<%p>: name:", static_cast<const void*>(this));
  return std::string(head) + name_ + " parameters:" +
         (parameters_ ? platform::Value(*parameters_).description() : std::string("(null)"));
}
