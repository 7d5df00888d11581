// The industry's rich-media interface for the banner's ad pages, "mraid"
// version 3.0, built on the message channel. Every ad page of the banner
// finds window.MRAID_ENV before its own scripts run; a page that loads
// "mraid.js" (from any path) is given our window.mraid instead, and the
// script is never fetched (platform::WebView::addScriptStandIn).
//
// The page keeps what it reads (state, sizes, viewability) from what this
// bridge tells it, and sends what it asks for as a "mraid" message with a
// "call" parameter. The page's calls act only through its web view's
// delegate, and so through GADContentPolicy: open, playVideo, expand and a
// resize that grows the ad need, and take, the user's activation; one
// refused is answered with the page's "error" event and the call's name.
//
// Viewability is what the application knows: the share of the ad inside
// the window, inside what its clipping superviews leave it and inside the
// window's part on its monitor, while the window is shown and no screen
// covers the ad's. It is looked at every kExposureCheckSeconds while a
// page that loaded "mraid.js" is shown, and told to the page only when it
// changes (a script of ours ends the user's activation: see
// platform::WebView).
//
// One per web view delegate whose pages have the interface (the banner's,
// an expanded ad's own page), which it does not retain. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/Geometry.h"
#include "platform/DeferredCall.h"
#include "platform/Value.h"

namespace platform {
class View;
class ViewController;
class WebView;
}  // namespace platform

class GADMRAIDBridge {
 public:
  static constexpr const char* kVersion = "3.0";
  static constexpr const char* kScriptName = "mraid.js";
  static constexpr double kExposureCheckSeconds = 0.2;

  // What the page is told of its ad's place, in points of the window.
  struct Snapshot {
    std::string state;  // "loading", "default", "expanded", "resized", "hidden"
    bool viewable = false;
    double exposedPercentage = 0;
    std::optional<platform::Rect> visibleRectangle;  // within the ad; none when nothing shows
    platform::Rect ad;                               // the ad's frame in the window
    platform::Size maxSize, screenSize;
    bool operator==(const Snapshot&) const = default;
  };

  // The share of `ad` (a frame in the window's coordinates) that shows in
  // `area` (the window, or the part of it the ad's superviews and the
  // monitor leave it), or nothing when not shown (the window hidden, a
  // screen over it). The screen and maximum sizes are `window`'s.
  static Snapshot measure(const platform::Rect& ad, const platform::Rect& area, const platform::Rect& window,
                          bool shown);
  // Where `view` is in the window: its frame, the part of the window its
  // superviews that clip to their bounds leave to it, and whether it and
  // every view up to its top-most superview are shown.
  struct Placement {
    platform::Rect frame, visibleArea;
    bool shown = true;
  };
  static Placement placementInWindow(const platform::View& view);
  // As the page receives it.
  static platform::Dictionary dictionary(const Snapshot& snapshot);

  // Gives every page the web view loads from now on the environment and
  // the interface, once: its first ad names the ad unit.
  void prepare(const std::string& adUnitID);
  // The main-frame script that gives every page MRAID_ENV and the bridge's
  // receiving end; the stand-in for "mraid.js" publishes window.mraid.
  static std::string pageScript(const std::string& adUnitID);
  static std::string standInScript();

  // Stands in for "mraid.js" in the web view's pages from now on: the rule
  // that blocks its fetch is made at once, well before the first ad.
  explicit GADMRAIDBridge(platform::WebView& webView);
  ~GADMRAIDBridge();
  GADMRAIDBridge(const GADMRAIDBridge&) = delete;
  GADMRAIDBridge& operator=(const GADMRAIDBridge&) = delete;

  // The web view has begun another page: nothing is told to it until that
  // page loads "mraid.js".
  void pageDidChange();
  // The page has loaded "mraid.js".
  void pageDidLoadInterface(platform::ViewController* screen);
  // The ad is on screen, on `screen`: its state is "default" (an inline
  // ad's), or "expanded" (the page an ad expanded to).
  void adDidShow(platform::ViewController* screen, const std::string& state = "default");
  // The page's state as the client sets it: "expanded" while its screen
  // is up, "default" again after.
  void setState(const std::string& state);
  const std::string& state() const { return state_; }
  // The page asked to close, or to be unloaded, in its default state: the
  // inline ad is hidden until the next ad.
  void adDidClose();
  // Tells the page that a call of its failed (its "error" event).
  void reportError(const std::string& message, const std::string& action);
  // Looks at the ad's place now, and tells the page if it changed.
  void update();

 private:
  Snapshot now() const;
  void send(const std::string& event, const platform::Dictionary& data);
  platform::WebView* webView_;
  std::weak_ptr<platform::ViewController> screen_;
  platform::DeferredCall check_;
  std::string state_ = "loading";
  bool interfaceLoaded_ = false;
  bool prepared_ = false;
  std::optional<Snapshot> told_;
};
