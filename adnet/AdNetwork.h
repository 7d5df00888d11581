// The sandbox ad network on loopback: it plays the ad network's part so the
// application shows ads, and is tested, on a machine with no network.
//
//   /zovo/sdk-core-v40.js   the core script (Last-Modified, 304 answers)
//   /zovo/ads/ad            ad HTML with the "X-Zovo-..." headers
//   /zovo/ads/redirect      one redirect hop to /zovo/ads/ad, with headers
//   /zovo/imp, /zovo/clk    impression and click tracking endpoints
//   /zovo/aclk              the click server: redirects to a landing page,
//                           or through "hops" web hops to a "to" address
//   /landing                the landing site: a page per creative with links
//                           to more pages (http and https), a form, a slow
//                           page (/landing/slow) and a failing one
//                           (/landing/fail: the connection drops)
//   /landing/hostile        a third-party page that attacks the client
//   /landing/media          a landing page that plays a sound as it loads
//                           and keeps the outcome in window.playback
//   /landing/busy           a landing page whose script never returns
//   /zovo/blob?bytes=N      N bytes of nothing, never cached (heavy ads)
//   /zovo/mraid/report      what a rich-media creative reports (a pixel)
//   /zovo/mraid/expanded    the page a rich-media creative expands to
//   /zovo/ads/mraid.js      a script no page of the client's should fetch
//   /webapp                 a full-screen web application that shows the
//                           client's events and can close itself or open
//                           the browser
//
// It records every ad request with its parameters decoded (the location and
// signal texts too), and a test can tell it how to misbehave.
#pragma once

#include <gio/gio.h>

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adnet/HostileCreatives.h"
#include "adnet/LoopbackServer.h"
#include "adnet/MRAIDCreatives.h"

namespace adnet {

struct AdRequestRecord {
  std::map<std::string, std::string> parameters;
  std::optional<std::string> userAgent;
  // The "uule" text decoded with the location key.
  std::optional<std::string> location;
  // The "ms" signal's record, as "kind=1 type=4 touches=0".
  std::optional<std::string> signal;
  int creative = 0;  // which ad was served
};

class AdNetwork {
 public:
  // NotText: the script's bytes are no UTF-8 text.
  enum class ScriptAnswer { LoadAdURL, InvalidRequest, UnableToServe, Silent, ViaRedirect, NotText };
  struct Behaviour {
    int scriptStatus = 200;
    ScriptAnswer scriptAnswer = ScriptAnswer::LoadAdURL;
    int adStatus = 200;
    // Replaces the creative (an empty or blank ad).
    std::optional<std::string> adBody;
    double adDelaySeconds = 0;
    bool adDropsConnection = false;
    // The ad's body is cut short of its Content-Length, the connection closed.
    bool adTruncated = false;
    // The ad's answer trickles, one byte every this many seconds (0: not).
    double adTrickleSeconds = 0;
    // "X-Zovo-Refresh-Rate", left out when nullopt.
    std::optional<std::string> refreshRate = "30";
    std::optional<std::string> orientation = "any";
    bool clickTracking = false;
    // "X-Zovo-Interstitial-Timeout", left out when nullopt.
    std::optional<std::string> interstitialTimeout;
    // How long the impression and click tracking endpoints take to answer.
    double trackingDelaySeconds = 0;
    // Where the click server finally sends a click ("?ad=N" appended).
    std::string landingPath = "/landing";
    // When set, the creative's link asks for "open" with this action
    // ("browser", "video", "webapp", "app"...) on the click URL instead of
    // navigating to it; "webapp-html" sends the web application as HTML.
    std::optional<std::string> openAction;
    // How long /landing/slow takes.
    double slowPageSeconds = 2;
    // An attacking creative instead of the rotation's (see HostileCreatives);
    // with `everyHostile`, each ad is the next attack in turn.
    HostileCreatives::Kind hostile = HostileCreatives::Kind::None;
    bool everyHostile = false;
    // A rich-media creative instead of the rotation's (see MRAIDCreatives).
    MRAIDCreatives::Kind mraid = MRAIDCreatives::Kind::None;
  };
  static constexpr std::time_t kScriptLastModified = 1767225600;  // 1 January 2026

  // On `port`, or an ephemeral one when 0.
  explicit AdNetwork(int port = 0);
  ~AdNetwork();
  AdNetwork(const AdNetwork&) = delete;
  AdNetwork& operator=(const AdNetwork&) = delete;

  Behaviour& behaviour() { return behaviour_; }
  int port() const { return server_->port(); }
  std::string url(const std::string& path) const { return server_->url(path); }
  std::string staticContentHost() const { return "127.0.0.1:" + std::to_string(port()); }
  std::string adServerBaseURL() const { return url("/zovo/ads/"); }
  // A loopback port held where nothing listens: a connection to it is
  // refused at once.
  int closedPort() const { return closedPort_; }

  const std::vector<AdRequestRecord>& adRequests() const { return adRequests_; }
  size_t requestCount(const std::string& path) const { return server_->requestCount(path); }
  const std::vector<RecordedRequest>& requests() const { return server_->requests(); }

  // The largest body /zovo/blob sends.
  static constexpr size_t kMaximumBlobBytes = 16 * 1024 * 1024;
  // The creatives in rotation.
  static constexpr int kCreativeCount = 4;
  static std::string creativeHTML(int creative, const std::string& clickURL);
  // The creative's background colour, "#rrggbb".
  static std::string creativeColour(int creative);
  // The web application's page; its "open the browser" link goes to
  // `landingURL`.
  static std::string webAppHTML(const std::string& landingURL);
  // A short silent sound, as a WAV file.
  static std::string silentWave();
  // What a "uule" text says; nullopt when it cannot be read.
  static std::optional<std::string> decodeLocation(const std::string& uule);

 private:
  Answer answerAd(const RecordedRequest& request);
  Answer answerScript(const RecordedRequest& request);
  Answer answerLanding(const RecordedRequest& request);

  std::unique_ptr<LoopbackServer> server_;
  Behaviour behaviour_;
  std::vector<AdRequestRecord> adRequests_;
  int nextCreative_ = 0;
  size_t nextHostile_ = 0;
  GSocket* closedSocket_ = nullptr;
  int closedPort_ = 0;
};

// The query's items, unescaped, keys as sent.
std::map<std::string, std::string> parseQuery(const std::string& query);

}  // namespace adnet
