// The rich-media interface's calls as a page may send them: any call, any
// parameters, any values, as message URLs of the banner's shown ad, with
// and without the user's press. An input is a sequence of calls separated
// by 0xff bytes: a flags byte (bit 0: the user pressed the ad first), a
// call byte, then the query text. The oracle is the gatekeeper's:
// - without a press, no screen opens, nothing reaches the desktop, and the
//   ad neither grows nor leaves its banner;
// - across the sequence, what opened and what grew is at most the presses;
// - the ad always ends in its banner, or in the one screen it expanded to.
// It runs in the test build under its sanitizers (ReplayDriver), like the
// navigation decisions' target.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ads/content/GADBannerWebViewDelegate.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/fullscreen/GADViewController.h"
#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ViewController.h"
#include "platform/WebView.h"
#include "platform/headless/HeadlessToolkit.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "fuzz/HeadlessClient.h"

namespace {

const char* const kCalls[] = {"open", "playVideo", "expand", "resize", "close", "unload", "loaded", "", "OPEN"};

struct World {
  std::shared_ptr<platform::ViewController> root = std::make_shared<platform::ViewController>();
  std::shared_ptr<GADBannerView> banner;
  std::vector<std::string> opened;

  World() {
    installHeadlessClient("/tmp/blorvik-mraid-fuzz", opened);
    root->view()->setFrame(platform::Rect(0, 0, 320, 480));
    banner = GADBannerView::create(platform::Rect(0, 430, 320, 50));
    root->view()->addSubview(banner);
    banner->setRootViewController(root.get());
  }
  GADObjectPrivate& loader() { return *banner->privateObject(); }
  platform::WebView& page() { return *loader().webView(); }
  // A fresh ad shown in the banner, with its interface loaded.
  void showAd() {
    loader().changeState(kGADObjectStateRenderingAd);
    page().loadHTMLStringBaseURL("<p>ad</p>", platform::URL::create("http://ads.example.test/ad"));
    platform::HeadlessWebViewPeer::of(page())->finish();
    send(0, "loaded", "");
  }
  void send(std::uint8_t flags, const std::string& call, const std::string& query) {
    auto* peer = platform::HeadlessWebViewPeer::of(page());
    if (flags & 1) peer->pressByUser();
    auto url = platform::URL::create("gmsg://mraid/mraid?call=" + call + "&" + query);
    if (url) peer->decide(platform::URLRequest(*url), platform::NavigationType::Other);
    platform::RunLoop::main().advanceForTesting(0.01);
    platform::RunLoop::main().drain();
  }
  int screensUp() const {
    int depth = 0;
    for (const platform::ViewController* top = root.get(); top->modalViewController(); top = top->modalViewController())
      ++depth;
    return depth;
  }
  void settle() {
    auto& loop = platform::RunLoop::main();
    for (int i = 0; i < 8 && screensUp() > 0; ++i) {
      platform::ViewController* top = root.get();
      while (top->modalViewController()) top = top->modalViewController();
      if (auto* screen = dynamic_cast<GADViewController*>(top)) screen->relinquishScreen();
      loop.advanceForTesting(2.0);
      loop.drain();
    }
    loop.advanceForTesting(2.0);
    loop.drain();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static World* world = new World();
  world->opened.clear();
  world->showAd();
  int presses = 0, acts = 0;
  size_t start = 0;
  for (int sent = 0; start < size && sent < 32; ++sent) {
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(data + start, 0xff, size - start));
    const size_t length = end ? static_cast<size_t>(end - (data + start)) : size - start;
    if (length >= 2) {
      const std::uint8_t flags = data[start];
      const std::string call = kCalls[data[start + 1] % std::size(kCalls)];
      const std::string query(reinterpret_cast<const char*>(data + start + 2), length - 2);
      const size_t openedBefore = world->opened.size();
      const int screensBefore = world->screensUp();
      const platform::Size sizeBefore = world->page().frame().size;
      world->send(flags, call, query);
      const platform::Size sizeNow = world->page().frame().size;
      const bool grew = sizeNow.width * sizeNow.height > sizeBefore.width * sizeBefore.height;
      const bool acted = world->opened.size() > openedBefore || world->screensUp() > screensBefore || grew;
      if (flags & 1) ++presses;
      if (acted && !(flags & 1)) __builtin_trap();
      if (acted) ++acts;
      // The ad is in its banner, over the screen (resized) or in its one screen.
      const platform::View* home = world->page().superview();
      if (home != world->banner.get() && home != world->root->view().get() && world->screensUp() != 1) __builtin_trap();
    }
    start += length + 1;
  }
  if (acts > presses || world->screensUp() > 1) __builtin_trap();
  world->settle();
  world->send(0, "close", "");
  if (world->page().superview() != world->banner.get() && world->page().superview() != nullptr) __builtin_trap();
  return 0;
}
