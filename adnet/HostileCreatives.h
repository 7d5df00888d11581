// Ads that attack the client, so tests (and a sandbox run) can show that
// nothing they try gets through. Each is a real 320 x 50 creative with a
// link a user can click, plus a script that tries, without any click, to
// do what only a user may: leave the application with any scheme, stack
// screens, flood the message channel, fake clicks, borrow the client's own
// scripts' gesture, or read the ad page from a landing page. Two more try
// to freeze the banner: page dialogs, and a script that never returns. One
// more waits for the user's click and tries to make it many. Three are
// heavy: they burn CPU, download or grow their memory without end.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adnet {

class HostileCreatives {
 public:
  enum class Kind {
    None,
    LeavesTheApplication,  // file:, smb:, data:, javascript:, custom, ghelp:, tel:, mailto: by timer and frame
    StacksScreens,         // "open" for the browser and the web application in a loop, window.open
    FloodsMessages,        // logs, 20,000 canOpenURLs entries, 1 MB message URLs, as fast as it can
    NavigatesItself,       // after it is shown: a late frame, an empty frame, a synthetic click, location
    BorrowsOurScripts,     // its orientation and message handlers navigate and open
    HugeHeaders,           // a plain creative whose headers name a thousand tracking URLs each
    ReadsTheAdFromALandingPage,  // clicks land on a page that tries "evalInOpener" and leaving
    ShowsDialogs,          // once shown: alert, confirm, prompt, and a leave-page question
    HangsItsPage,          // once shown: a script that never returns
    // On the user's click, and from timers after it: many hand-offs, screens,
    // windows, frames of its own and a move of its own; on any key, the same
    AsksForManyOnAClick,
    // Page capabilities: what a page asks of WebKit itself.
    DownloadsFiles,      // an attachment in a hidden frame, a link with "download", a blob, by timer
    AsksForPermissions,  // notifications, location, camera, clipboard, full screen, pointer lock
    Prints,              // window.print() by timer
    // Heavy ads: they use what they may not, each in one way.
    BurnsCPU,              // busy 90 ms of every 100 ms
    DownloadsWithoutEnd,   // 1 MB images, one after another, from /zovo/blob
    GrowsItsMemory,        // keeps 16 MB more every 100 ms, each page touched, up to 2 GB
  };

  static std::string name(Kind kind);
  static std::optional<Kind> fromName(std::string_view name);
  // Every attack, in order.
  static std::vector<Kind> all();
  // The heavy ones, in order. They are not among all(): each holds the
  // machine for as long as it is let, so they run on their own.
  static std::vector<Kind> heavy();

  // The creative, whose link goes to `clickURL`; `landingURL` and
  // `webAppURL` are what its script tries to open.
  static std::string html(Kind kind, const std::string& clickURL, const std::string& landingURL,
                          const std::string& webAppURL);
  // The landing page of ReadsTheAdFromALandingPage: a third-party page in
  // the in-app browser that tries to reach the ad page and the desktop.
  static std::string landingHTML();
  // The delay, in milliseconds after its load, before ShowsDialogs and
  // HangsItsPage act.
  static constexpr int kActAfterMilliseconds = 1000;
  // The file DownloadsFiles tries to save, on the creative's own server
  // (an attachment its server answers).
  static constexpr const char* kAttachmentPath = "/zovo/files/update.sh";
  static constexpr const char* kAttachmentName = "update.sh";
  // How many tracking URLs each header of a HugeHeaders ad names.
  static constexpr int kHugeHeaderURLs = 1000;
  // The size of each of DownloadsWithoutEnd's images.
  static constexpr int kDownloadBytes = 1024 * 1024;
};

}  // namespace adnet
