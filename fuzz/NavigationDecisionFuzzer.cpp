// Navigation decisions of ad pages, whatever a page navigates to: the
// scheme and URL, whether a user's real input and the toolkit's gesture
// flag stand behind it, its type, whether it is the answer for the page's
// own document, which page decides (the banner's ad before or after it is
// shown, or an ad screen's page). An input is a sequence of such
// decisions, separated by 0xff bytes (no URL has one), as a page asks for many things in
// the second after a click. The oracle is the gatekeeper's:
// - without a user's gesture nothing reaches the desktop and no screen or
//   composer opens, and a shown ad is never replaced;
// - with one, only the allow-listed schemes reach the desktop;
// - one activation is one act: across the whole sequence, what reached the
//   desktop, the screens and composers opened and the clicks counted are
//   at most the presses the user made.
// It needs the whole client and the headless platform, so the test build
// makes it, with a driver that replays the seeds and seeded random inputs
// under the build's sanitizers; the entry point is libFuzzer's, for a
// coverage-guided build of the same sources.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotification.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/fullscreen/GADViewController.h"
#include "ads/request/GADStatistics.h"
#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/MailComposer.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessToolkit.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "fuzz/HeadlessClient.h"

namespace {

const char* const kSchemes[] = {"", "http://", "https://", "file://", "smb://", "data:", "javascript:", "ghelp:",
                                "tel:", "sms:", "mailto:", "zovo-custom://", "gmsg://ads.example.test/",
                                "vaver://", "about:", "HTTP://", "Tel:", "itms://"};
const char* const kMessages[] = {"", "open?a=app&u=", "open?a=browser&u=", "open?a=webapp&u=", "click?u=",
                                 "open?a=webapp&html=x&u=", "launch?url="};

struct World {
  std::shared_ptr<platform::ViewController> root = std::make_shared<platform::ViewController>();
  std::shared_ptr<GADObjectPrivate> banner;
  std::shared_ptr<platform::WebView> page;
  std::unique_ptr<GADWebViewDelegate> pageDelegate;
  std::vector<std::string> opened;

  World() {
    installHeadlessClient("/tmp/blorvik-navigation-fuzz", opened);
    banner = GADObjectPrivate::createWithFrame(platform::Rect(0, 0, 320, 50));
    banner->setRootViewController(root.get());
    page = platform::WebView::create(platform::Rect(0, 0, 320, 480));
    pageDelegate = std::make_unique<GADWebViewDelegate>();
    pageDelegate->setViewController(root.get());
    page->setDelegate(pageDelegate.get());
  }
  // Gives back whatever opened, so the next input starts clean.
  void settle() {
    auto& loop = platform::RunLoop::main();
    loop.advanceForTesting(2.0);
    loop.drain();
    for (;;) {
      platform::ViewController* top = root.get();
      while (top->modalViewController()) top = top->modalViewController();
      if (top == root.get()) break;
      if (auto* screen = dynamic_cast<GADViewController*>(top)) {
        screen->relinquishScreen();
      } else {
        top->dismissModalViewControllerAnimated(platform::Animated::No);
      }
      loop.drain();
    }
    loop.advanceForTesting(2.0);
    loop.drain();
  }
};

// The allow-list as written down, not as the code keeps it.
bool leavesOnlyByTheList(const std::vector<std::string>& opened) {
  for (const auto& text : opened) {
    auto url = platform::URL::create(text);
    if (!url) return false;
    const std::string& s = url->scheme();
    if (s != "http" && s != "https" && s != "mailto" && s != "tel" && s != "sms") return false;
  }
  return true;
}

}  // namespace

namespace {

// How deep the screens over the root are: the composer and ad screens.
int screensUp(const platform::ViewController& root) {
  int depth = 0;
  for (const platform::ViewController* top = &root; top->modalViewController(); top = top->modalViewController())
    ++depth;
  return depth;
}

std::int64_t clicksCounted() {
  const auto report = GADStatistics::sharedStatistics().parameters();
  const platform::Value* pcc = report.find("pcc");
  return pcc && pcc->asInteger() ? *pcc->asInteger() : 0;
}

// One decision of the sequence; its effects are judged by the caller.
// False when the record is no decision (too short, no URL).
// `pressed` says which web views (banner, page) the user has pressed so far.
bool decideOne(World& world, const std::uint8_t* data, size_t size, int& presses, bool (&pressed)[2]) {
  if (size < 4) return false;
  const std::uint8_t flags = data[0], kind = data[1], scheme = data[2], message = data[3];
  const bool realInput = flags & 1, toolkitGesture = flags & 2, commitStage = flags & 4, shown = flags & 8,
             onBanner = flags & 16;
  const auto type = static_cast<platform::NavigationType>(kind % 6);
  std::string text = kSchemes[scheme % std::size(kSchemes)];
  if (text.starts_with("gmsg") || text.starts_with("vaver")) text += kMessages[message % std::size(kMessages)];
  text.append(reinterpret_cast<const char*>(data + 4), size - 4);
  const auto url = platform::URL::create(text);
  if (!url) return false;
  // A user's tracking fetches its URL: these stay off the network.
  if (toolkitGesture && GADNotification::isNotificationURL(*url)) {
    const auto sent = GADNotification::notificationFromURL(*url);
    if (sent && (sent->name() == "click" || sent->name() == "httpTrack")) return false;
  }

  platform::WebView& view = onBanner ? *world.banner->webView() : *world.page;
  if (shown && world.banner->state() != kGADObjectStateAdShown) {
    world.banner->changeState(kGADObjectStateAdShown);
    world.banner->adDidShow();
  }
  auto* peer = platform::HeadlessWebViewPeer::of(view);
  const size_t openedBefore = world.opened.size();
  const int screensBefore = screensUp(*world.root);
  if (realInput) {
    peer->pressByUser();
    ++presses;
    pressed[onBanner ? 0 : 1] = true;
  }
  // The user stands behind it if the user pressed this web view (now or
  // earlier in the sequence, within the activation's time) and the toolkit
  // flags it.
  const bool gesture = pressed[onBanner ? 0 : 1] && toolkitGesture;
  bool allowed;
  if (commitStage) {
    allowed = peer->commitMainFrame(url).value_or(true);
    // A shown ad's document is never replaced.
    if (onBanner && world.banner->state() == kGADObjectStateAdShown && allowed) __builtin_trap();
  } else {
    allowed = peer->decide(platform::URLRequest(*url), type, platform::NavigationAction{.userGesture = toolkitGesture})
                  .value_or(false);
    // What is loaded stays in the page: web, about and never a message or file.
    const std::string& s = url->scheme();
    if (allowed && !(s == "http" || s == "https" || s == "about")) __builtin_trap();
  }
  // Within the activation's time: what the page asks next still finds it.
  platform::RunLoop::main().advanceForTesting(0.01);
  platform::RunLoop::main().drain();
  const bool acted = world.opened.size() > openedBefore || screensUp(*world.root) > screensBefore;
  if (!gesture && acted) __builtin_trap();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static World* world = new World();
  world->banner->changeState(kGADObjectStateRenderingAd);
  world->opened.clear();
  clicksCounted();  // from zero
  int presses = 0, screensOpened = 0;
  bool pressed[2] = {false, false};
  size_t start = 0;
  for (int decided = 0; start < size && decided < 32; ++decided) {
    const std::uint8_t* end = static_cast<const std::uint8_t*>(std::memchr(data + start, 0xff, size - start));
    const size_t length = end ? static_cast<size_t>(end - (data + start)) : size - start;
    const int before = screensUp(*world->root);
    decideOne(*world, data + start, length, presses, pressed);
    screensOpened += std::max(0, screensUp(*world->root) - before);
    start += length + 1;
  }
  platform::RunLoop::main().advanceForTesting(2.0);
  platform::RunLoop::main().drain();
  if (!leavesOnlyByTheList(world->opened)) __builtin_trap();
  // One press, one act.
  const auto acts = static_cast<std::int64_t>(world->opened.size()) + screensOpened;
  if (acts > presses || clicksCounted() > presses) __builtin_trap();
  world->settle();
  return 0;
}
