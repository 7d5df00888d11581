#include "ads/content/GADContentPolicy.h"

#include <set>

#include "platform/ASCII.h"
#include "platform/Log.h"
#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"
#include "platform/URL.h"
#include "platform/WebView.h"

namespace {
struct Counts {
  std::array<int, GADContentPolicy::kRefusalKinds> byKind{};
};
struct AddedSchemes {
  std::set<std::string> schemes;
};

const char* refusalName(GADContentPolicy::Refusal kind) {
  switch (kind) {
    case GADContentPolicy::Refusal::NoGesture: return "no user gesture";
    case GADContentPolicy::Refusal::Scheme: return "scheme not allowed to leave";
    case GADContentPolicy::Refusal::Screen: return "one ad screen at a time";
    case GADContentPolicy::Refusal::Opener: return "no opener to reach";
    case GADContentPolicy::Refusal::MessageRate: return "too many messages";
    case GADContentPolicy::Refusal::MessageSize: return "too large";
    case GADContentPolicy::Refusal::TrackingURLs: return "too many tracking URLs";
    case GADContentPolicy::Refusal::Dialog: return "an ad page shows no dialogs";
  }
  return "refused";
}

void count(GADContentPolicy::Refusal kind) { ++platform::processWide<Counts>().byKind[static_cast<size_t>(kind)]; }

// What a page sent, in one log line: the start of it is enough.
constexpr size_t kShownBytes = 200;
}  // namespace

bool GADContentPolicy::hasUserGesture(const platform::WebView& webView) {
  if (!webView.hasUserActivation()) return false;
  // Outside a decision there is no navigation to ask about; inside one the
  // toolkit's flag must agree (a timer's navigation after a click lacks it).
  return webView.navigationAction().userGesture;
}

bool GADContentPolicy::consumeUserGesture(platform::WebView& webView) {
  return hasUserGesture(webView) && webView.consumeUserActivation();
}

bool GADContentPolicy::mayLeaveApplication(const platform::URL& url) {
  const std::string& scheme = url.scheme();  // lower case
  if (scheme == "http" || scheme == "https" || scheme == "mailto" || scheme == "tel" || scheme == "sms") return true;
  return platform::processWide<AddedSchemes>().schemes.contains(scheme);
}

void GADContentPolicy::allowSchemeToLeave(const std::string& scheme) {
  std::string lower = scheme;
  for (char& c : lower) c = platform::ascii::toLower(c);
  platform::processWide<AddedSchemes>().schemes.insert(lower);
}

int GADContentPolicy::refusalCount(Refusal kind) {
  return platform::processWide<Counts>().byKind[static_cast<size_t>(kind)];
}

void GADContentPolicy::refuseOutsideAnyPage(Refusal kind, const std::string& what) {
  count(kind);
  platform::log("Refused (%s): %s", refusalName(kind), platform::printableLogText(what, kShownBytes).c_str());
}

void GADContentPolicy::resetForTesting() {
  platform::processWide<Counts>() = Counts{};
  platform::processWide<AddedSchemes>().schemes.clear();
}

void GADContentPolicy::refuse(Refusal kind, const std::string& what) {
  count(kind);
  bool& logged = logged_[static_cast<size_t>(kind)];
  if (logged) return;
  logged = true;
  platform::log("Refused (%s) for this page: %s", refusalName(kind), platform::printableLogText(what, kShownBytes).c_str());
}

bool GADContentPolicy::admitVibration(const platform::WebView& webView) {
  const std::uint64_t activation = webView.userActivationCount();
  const auto since = webView.secondsSinceUserActivation();
  if (!since || *since < 0 || *since > kUserGestureSeconds || vibratedFor_ == activation ||
      !webView.navigationAction().userGesture) {
    refuse(Refusal::NoGesture, "\"vibrate\" beyond one for the user's click");
    return false;
  }
  vibratedFor_ = activation;
  return true;
}

bool GADContentPolicy::admitMessage(size_t bytes, bool closesScreen) {
  if (bytes > kMaximumMessageURLBytes) {
    refuse(Refusal::MessageSize, "a message of " + std::to_string(bytes) + " bytes");
    return false;
  }
  if (closesScreen) return true;
  const double now = platform::RunLoop::main().now();
  if (windowStart_ < 0 || now - windowStart_ >= 1.0 || now < windowStart_) {
    windowStart_ = now;
    messagesInWindow_ = 0;
  }
  if (++messagesInWindow_ > kMaximumMessagesPerSecond) {
    refuse(Refusal::MessageRate, "more than " + std::to_string(kMaximumMessagesPerSecond) + " messages a second");
    return false;
  }
  return true;
}
