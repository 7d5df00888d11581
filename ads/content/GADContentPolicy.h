// What an ad page, or any page reached from one, may make the client do:
// the one gatekeeper between untrusted web content and native code.
//
// The hazard: ad pages come from the network, and so does every page a
// user reaches from them in the in-app browser. A page can run script from
// timers and iframes, navigate to any URL scheme, send messages as fast as
// it likes and make them as large as it likes. Left alone it could hand
// file, smb or custom URLs to the desktop, stack screens, fake clicks and
// their tracking, or grow our memory without end.
//
// The guard, asked by every path (navigation decisions, messages, the
// opener, the screens, the trackers, the browser's items):
// - a user's gesture is a real activation of that web view, recent, unused
//   and not lent by a script of our own (hasUserGesture); without one
//   nothing opens a screen, leaves the application or counts as a click,
//   and the first such act uses it up (consumeUserGesture): one click of
//   the user is at most one counted click, one firing of each click-tracking
//   URL and one opening, however many acts the page asks for;
// - only the allow-listed schemes leave the application (mayLeaveApplication);
// - counts of everything a page can multiply are bounded (the k... limits),
//   and each refusal is counted and logged once per page.
//
// Static rules are process-wide; an instance holds one page's state (its
// message rate, which refusals it has logged) and lives with the page's web
// view delegate. Main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/WebView.h"

namespace platform {
class URL;
}  // namespace platform

class GADContentPolicy {
 public:
  // How long a real activation lends its web view a gesture.
  static constexpr double kUserGestureSeconds = platform::WebView::kUserActivationSeconds;
  // Tracking URLs taken from one response header, and from one ad's
  // headers in all (each kind), after duplicates are dropped.
  static constexpr size_t kMaximumTrackingURLs = 16;
  // Trackers of one banner fetching at once; the rest wait their turn.
  static constexpr size_t kMaximumTrackersInFlight = 4;
  // Messages one page may send in a second; the rest of that second's are dropped.
  static constexpr int kMaximumMessagesPerSecond = 50;
  // The longest message URL, and the longest script answer passed between pages.
  static constexpr size_t kMaximumMessageURLBytes = 64 * 1024;
  static constexpr size_t kMaximumScriptAnswerBytes = 64 * 1024;

  // What was refused, counted process-wide.
  enum class Refusal {
    NoGesture,      // an act for the user without the user
    Scheme,         // a scheme that may not leave the application
    Screen,         // a screen beyond the one an ad may have up
    Opener,         // script in another page
    MessageRate,    // messages beyond the page's rate
    MessageSize,    // a message URL or answer beyond its size
    TrackingURLs,   // tracking URLs beyond the bound
    Dialog,         // a page's dialog (alert, confirm, prompt, leave page)
  };
  static constexpr size_t kRefusalKinds = 8;

  // Whether a user stands behind what `webView`'s page asks now: the web
  // view holds an unused activation (platform::WebView::hasUserActivation)
  // and, inside a navigation decision, the toolkit marks the navigation as
  // the user's. Looks only.
  static bool hasUserGesture(const platform::WebView& webView);
  // The same, and the act that asks takes the activation: every later act
  // of the same activation is refused. An act calls it once it knows it is
  // otherwise allowed, just before it counts, fires or opens anything.
  static bool consumeUserGesture(platform::WebView& webView);

  // Whether `url` may be handed to the desktop: http and https (its
  // browser), mailto, tel and sms, and what the build adds. Compared in
  // lower case.
  static bool mayLeaveApplication(const platform::URL& url);
  // Extends the list for this process (a build that hands on more).
  static void allowSchemeToLeave(const std::string& scheme);

  static int refusalCount(Refusal kind);
  // Counts and logs a refusal that belongs to no page in particular.
  static void refuseOutsideAnyPage(Refusal kind, const std::string& what);
  // Counts, the allow-list's additions: back to the start.
  static void resetForTesting();

  GADContentPolicy() = default;

  // Counts the refusal; logs it with `what` the first time this page has
  // one of its kind.
  void refuse(Refusal kind, const std::string& what);
  // Whether a message of `bytes` from this page may be handled now; counts
  // and refuses it otherwise. A page's "close" gives its screen back: it is
  // never refused for the page's rate, so no flood starves it.
  bool admitMessage(size_t bytes, bool closesScreen = false);
  // Whether the page may buzz now: once per activation of its web view
  // (used or not), within the activation's time; counts and refuses it
  // otherwise.
  bool admitVibration(const platform::WebView& webView);
  // The web view has begun to load another page: its refusals are logged
  // afresh.
  void pageDidChange() { logged_.fill(false); }

 private:
  std::array<bool, kRefusalKinds> logged_{};
  double windowStart_ = -1;  // the run loop's clock
  int messagesInWindow_ = 0;
  std::uint64_t vibratedFor_ = 0;  // the web view's activation that buzzed last (0: none)
};
