// Rich-media creatives written against the industry's "mraid" interface,
// each exercising one part of it. Each reports what it sees to the sandbox
// as beacons, in order: /zovo/mraid/report?n=<sequence>&e=<event>&v=<value>.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace adnet {

class MRAIDCreatives {
 public:
  enum class Kind {
    None,
    // Loads "mraid.js" in its head; reports MRAID_ENV as its first script
    // sees it, the getters, "ready" and every event after it, answers to
    // the network's own "canOpenURLs" message; calls open() 300 ms after
    // "ready" by itself, and again on each click of its link ("ad").
    // Also reports, by the page's clock, the milliseconds from asking for
    // "mraid.js" to "ready" ("ms-to-ready") and from the page's start to
    // its first "exposureChange" ("ms-to-exposure").
    Events,
    // Adds "mraid.js" from another path, with a query, 200 ms after its
    // load, and reports its element's "load" and then "ready".
    LoadsLate,
    // Calls expand() 300 ms after "ready" by itself, and on each click of
    // its link; expanded, it fills the screen in red, with a link ("visit")
    // whose click opens the landing page, a red square of its
    // own at the top right above everything it draws, and a link ("close")
    // at the top left that calls close().
    Expands,
    // After "ready", by itself, one 250 ms apart, each of the resizes the
    // interface must refuse (reporting "resize-error" with the action and
    // message); on a click of its link, resizes to 320 x 100 upward (red).
    Resizes,
    // On a click of its link, expands to a page of its own
    // (/zovo/mraid/expanded: expandedPageHTML), which reports its state at
    // "ready" as "part-two", fills the screen in green and closes by its
    // link ("close").
    ExpandsToAPage,
  };
  static std::string name(Kind kind);
  static std::optional<Kind> fromName(std::string_view name);
  // The creative, whose open() goes to `landingURL`.
  static std::string html(Kind kind, const std::string& landingURL);
  static std::string expandedPageHTML();
  // What the network answers for a "mraid.js" asked of it: a script that
  // reports itself, which a page of ours never runs.
  static std::string networkScript();
};

}  // namespace adnet
