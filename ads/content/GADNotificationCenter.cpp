#include "ads/content/GADNotificationCenter.h"

#include <algorithm>

#include "ads/core/GADMacros.h"
#include "platform/ASCII.h"
#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"

namespace {
std::unique_ptr<GADNotificationCenter>& defaultSlot() {
  return platform::processWide<std::unique_ptr<GADNotificationCenter>>();
}
}  // namespace

GADNotificationCenter& GADNotificationCenter::defaultCenter() {
  auto& slot = defaultSlot();
  if (!slot) slot = std::make_unique<GADNotificationCenter>();
  return *slot;
}

void GADNotificationCenter::resetDefaultForTesting() {
  if (auto& slot = defaultSlot()) platform::RunLoop::main().cancelPerformRequests(slot.get());
  defaultSlot() = std::make_unique<GADNotificationCenter>();
}

void GADNotificationCenter::postNotificationFromURLObject(const platform::URL& url, const void* sender) {
  auto message = GADNotification::notificationFromURL(url);
  if (!message) return;
  post(message->name(), sender, message->parameters().value_or(platform::Dictionary()));
}

void GADNotificationCenter::postNotificationFromURLObjectWithDelay(const platform::URL& url,
                                                                   std::shared_ptr<void> sender,
                                                                   double delaySeconds) {
  // The centre lives as long as the process (or is reset, cancelling these):
  // the request names it without owning it.
  std::shared_ptr<void> self(std::shared_ptr<void>(), this);
  platform::RunLoop::main().performAfterDelay(self, delaySeconds, [this, url, sender = std::move(sender)] {
    postNotificationFromURLObject(url, sender.get());
  });
}

void GADNotificationCenter::postJSNotificationUserInfoWebView(const std::string& name,
                                                              const std::optional<platform::Dictionary>& userInfo,
                                                              platform::WebView* webView) {
  if (!webView) return;
  if (auto script = scriptForJSNotification(name, userInfo)) webView->evaluateJavaScript(*script);
}

std::optional<std::string> GADNotificationCenter::scriptForJSNotification(
    const std::string& name, const std::optional<platform::Dictionary>& userInfo) {
  if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return platform::ascii::isAlnum(c) || c == '_'; }))
    return std::nullopt;
  // The page's handler answers nothing back: see scriptWithoutValue.
  if (!userInfo) return platform::WebView::scriptWithoutValue(std::string(kJSReceiveMessageMethod) + "('" + name + "');");
  const platform::Value info(*userInfo);
  return platform::WebView::scriptWithoutValue(std::string(kJSReceiveMessageMethod) + "('" + name + "', " +
                                               GADMacros::jsonify(&info).value_or("") + ");");
}
