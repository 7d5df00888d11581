// The application as a screen reader and a keyboard meet it, in its own
// window with real WebKit and the sandbox ad network: each screen's
// accessible tree read over AT-SPI (needs the accessibility bus: the test
// runs under dbus-run-session with GTK's accessibility on), then the sound
// board, the info screen, the ad and the browser driven by key presses
// alone. The trees are written beside the screenshots, to
// accessible-trees.txt.
#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <fstream>
#include <regex>
#include <utility>

#include "app/info.h"
#include "tests/e2e/AccessibleTree.h"
#include "tests/e2e/AppWindowTest.h"
#include "tests/e2e/WindowTestMain.h"

namespace {

class AccessibilityWindowTest : public AppWindowTest {
 protected:
  // The window's tree, written down under `title`, with what every screen
  // owes a screen reader: each control it can focus has a role and a name,
  // and nothing is named by its class (a container GTK left unnamed).
  AccessibleTree walk(const std::string& title) {
    const AccessibleTree tree = AccessibleTree::walk();
    static bool first = true;  // each run writes the file anew
    std::ofstream(screenshots / "accessible-trees.txt", std::exchange(first, false) ? std::ios::trunc : std::ios::app)
        << "== " << title << "\n" << tree.text() << "\n";
    static const std::regex className("(Gtk|Gdk|WebKit)[A-Z][A-Za-z]*");
    EXPECT_GT(tree.nodes().size(), 10u) << title;
    for (const auto& node : tree.nodes()) {
      EXPECT_FALSE(std::regex_match(node.name, className)) << title << ": a " << node.role << " named " << node.name;
      if (!node.focusable()) continue;
      EXPECT_FALSE(node.name.empty()) << title << ": a focusable " << node.role << " has no name";
      EXPECT_FALSE(node.role.empty() || node.role == "unknown" || node.role == "filler") << title << ": " << node.name;
    }
    return tree;
  }
  // The subtree of the screen named `name`.
  static std::vector<AccessibleTree::Node> screenIn(const AccessibleTree& tree, const std::string& name) {
    const auto* screen = tree.find("panel", name);
    EXPECT_NE(screen, nullptr) << "no screen named " << name;
    return screen ? tree.inside(*screen) : std::vector<AccessibleTree::Node>{};
  }
  static const AccessibleTree::Node* findIn(const std::vector<AccessibleTree::Node>& nodes, const std::string& role,
                                            const std::string& name) {
    for (const auto& node : nodes)
      if (node.role == role && node.name == name) return &node;
    return nullptr;
  }
  // The banner of `screen` as the "Advertisement" region named by the ad's
  // title, around the ad's page.
  void expectTheBannerIn(const std::vector<AccessibleTree::Node>& screen, GADBannerView& banner) {
    const std::string headline = script(*banner.webView(), "document.title");
    const std::string name = "Advertisement: " + headline;
    auto it = std::find_if(screen.begin(), screen.end(), [&](const auto& n) { return n.name == name; });
    ASSERT_NE(it, screen.end()) << "no " << name;
    EXPECT_FALSE(headline.empty());
    EXPECT_TRUE(std::any_of(it + 1, screen.end(), [&](const auto& n) { return n.role == "document text"; }))
        << "the ad's page inside the banner";
    GtkWidget* region = gtk_widgets::widgetOf(banner);
    EXPECT_EQ(gtk_accessible_get_accessible_role(GTK_ACCESSIBLE(region)), GTK_ACCESSIBLE_ROLE_REGION);
  }

  GtkWidget* focus() { return gtk_root_get_focus(GTK_ROOT(gtk_widget_get_root(gtk_widgets::widgetOf(*mainScreen().view())))); }
  // Presses Tab until `wanted` holds the keyboard's focus (it or a widget
  // inside it), at least once if `pressOnce`; false when it never did.
  bool tabTo(GtkWidget* wanted, int presses = 20, bool pressOnce = false) {
    trail.clear();
    for (int i = 0; i < presses; ++i) {
      GtkWidget* now = focus();
      trail += std::string(now ? G_OBJECT_TYPE_NAME(now) : "none") +
               (now && GTK_IS_BUTTON(now) && gtk_button_get_label(GTK_BUTTON(now))
                    ? std::string(":") + gtk_button_get_label(GTK_BUTTON(now))
                    : "") +
               " ";
      if (now && (now == wanted || gtk_widget_is_ancestor(now, wanted)) && !(pressOnce && i == 0)) return true;
      if (!RealInput::pressKey(*mainScreen().view(), "Tab")) return false;
      // One key at a time: a page takes its keys later (a script's answer
      // comes after them), and hands a Tab past its last link back to GTK
      // later still; the next key must not overtake it.
      if (now && WEBKIT_IS_WEB_VIEW(now)) {
        auto answered = std::make_shared<bool>(false);
        webkit_web_view_evaluate_javascript(
            WEBKIT_WEB_VIEW(now), "0", -1, nullptr, nullptr, nullptr,
            +[](GObject*, GAsyncResult*, gpointer data) {
              std::unique_ptr<std::shared_ptr<bool>> done(static_cast<std::shared_ptr<bool>*>(data));
              **done = true;
            },
            new std::shared_ptr<bool>(answered));
        runUntil([&] { return *answered; }, 5);
      }
      runUntil([&] { return focus() != now; }, 0.4);
      RunLoop::main().runFor(0.1);
    }
    return false;
  }
  std::string trail;  // where tabTo found the focus, press by press
  bool press(const std::string& key) { return RealInput::pressKey(*mainScreen().view(), key); }
};

TEST_F(AccessibilityWindowTest, EveryScreenNamesItsControlsAndTheBannerIsTheAdvertisementRegion) {
  showFreshAd();
  {
    const auto tree = walk("the sound board");
    const auto screen = screenIn(tree, "Sound board");
    for (const char* clip : {"Gas", "Long", "Loud", "Short", "Wet", "Info"}) {
      const auto* button = findIn(screen, "push button", clip);
      ASSERT_NE(button, nullptr) << clip;
      EXPECT_TRUE(button->focusable()) << clip;
    }
    expectTheBannerIn(screen, banner());
  }

  mainScreen().switchview();
  auto* about = waitForScreenOver<info>(mainScreen());
  ASSERT_NE(about, nullptr);
  ASSERT_TRUE(runUntil([&] { return about->bannerView()->privateObject()->state() == kGADObjectStateAdShown; }));
  {
    const auto tree = walk("the info screen");
    const auto screen = screenIn(tree, "About Blorvik");
    EXPECT_NE(findIn(screen, "push button", "Back"), nullptr);
    EXPECT_NE(findIn(screen, "push button", "Reset advertising identifier"), nullptr);
    EXPECT_NE(findIn(screen, "check box", "Personalised ads"), nullptr) << "GTK 4.8's role for a switch";
    expectTheBannerIn(screen, *about->bannerView());
  }
  about->back();
  ASSERT_TRUE(runUntil([&] { return mainScreen().modalViewController() == nullptr; }));
  RunLoop::main().runFor(platform::gtk::GtkWindowPeer::kTransitionSeconds + 0.1);  // the slide ends

  clickTheAd();
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(runUntil([&] { return !browser->webView()->isLoading() && browser->view()->isUserInteractionEnabled(); }));
  {
    const auto tree = walk("the in-app browser");
    const auto screen = screenIn(tree, "Browser");
    for (const char* item : {"Back", "Forward", "Reload", "View in Browser", "Done"})
      EXPECT_NE(findIn(screen, "push button", item), nullptr) << item;
    EXPECT_NE(findIn(screen, "document text", browser->webView()->title()), nullptr) << "the landing page";
    EXPECT_FALSE(browser->webView()->title().empty());
  }
  giveBack(*browser);

  network->behaviour().clickTracking = true;
  network->behaviour().landingPath = "/webapp";
  showFreshAd();
  clickTheAd();
  auto* webApp = waitForScreenOver<GADWebAppViewController>(mainScreen());
  ASSERT_NE(webApp, nullptr);
  std::weak_ptr<platform::ViewController> weak = webApp->weak_from_this();
  ASSERT_TRUE(runUntil([&] { return appEvents(*webApp->webView()) == "onshow"; }));
  ASSERT_TRUE(runUntil([&] { return webApp->view()->isUserInteractionEnabled(); }));
  {
    const auto tree = walk("the web application");
    const auto screen = screenIn(tree, "Web application");
    const auto* close = findIn(screen, "push button", "Close");
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(close->focusable());
  }
  // Its close button by keyboard alone, after the page's links.
  ASSERT_TRUE(tabTo(gtk_widgets::widgetOf(*webApp->vars()->closeButton_)));
  ASSERT_TRUE(press("space"));
  EXPECT_TRUE(runUntil([&] { return weak.expired(); }));
}

// Keys alone: a clip, the info screen and back, the ad (a click, as
// Enter on a link is), Reload in the browser's toolbar, and Escape; each
// step as a person sees it.
TEST_F(AccessibilityWindowTest, TheKeyboardAlonePlaysAClipOpensInfoClicksTheAdReloadsAndClosesTheBrowser) {
  showFreshAd();
  // The info screen's banner asks for ads of its own: the main banner's.
  const auto adColour = ScreenshotPixels::fromHex(adnet::AdNetwork::creativeColour(network->adRequests().back().creative));
  GtkWidget* root = gtk_widgets::widgetOf(*mainScreen().view());
  GtkWidget* longButton = gtk_widgets::findButton(root, "Long");
  GtkWidget* loud = gtk_widgets::findButton(root, "Loud");
  ASSERT_TRUE(tabTo(longButton, 20, true));
  const auto focused = screenshot("keys-1-sound-button-focused.png");
  ASSERT_TRUE(tabTo(loud));
  const auto moved = screenshot("keys-2-focus-moved-on.png");
  // The focus ring leaves one button for the next.
  for (GtkWidget* button : {longButton, loud}) {
    const Place at = placeInWindow(button);
    EXPECT_GT(focused.countDifferent(moved, at.x - 3, at.y - 3, at.w + 6, at.h + 6), 30) << "the focus is seen";
  }
  ASSERT_TRUE(press("space"));
  EXPECT_TRUE(runUntil([&] { return installedGtkToolkit().playingSoundCount() > 0; }, 5)) << "Space plays the clip";

  ASSERT_TRUE(tabTo(gtk_widgets::findButton(root, "Info")));
  ASSERT_TRUE(press("Return"));
  auto* about = waitForScreenOver<info>(mainScreen());
  ASSERT_NE(about, nullptr);
  std::weak_ptr<platform::ViewController> weakInfo = about->weak_from_this();
  ASSERT_TRUE(runUntil([&] { return about->view()->isUserInteractionEnabled(); }));
  RunLoop::main().runFor(platform::gtk::GtkWindowPeer::kTransitionSeconds);
  EXPECT_TRUE(screenshot("keys-3-info-screen.png").at(5, 300).near(ScreenshotPixels::fromHex("#7fd0ff")))
      << "the info screen's colour";
  ASSERT_TRUE(tabTo(gtk_widgets::findButton(gtk_widgets::widgetOf(*about->view()), "Back")));
  ASSERT_TRUE(press("Return"));
  ASSERT_TRUE(runUntil([&] { return weakInfo.expired(); }));
  RunLoop::main().runFor(platform::gtk::GtkWindowPeer::kTransitionSeconds);

  // The ad is reached by Tab like a link in a page, and Enter follows it.
  events->calls.clear();
  const size_t clicks = network->requestCount("/zovo/aclk");
  ASSERT_TRUE(tabTo(gtk_widgets::widgetOf(*banner().webView())));
  // The page takes the focus at its start; the next Tab reaches the link.
  for (int i = 0; i < 3 && script(*loader().webView(), "document.activeElement.id") != "ad"; ++i) {
    press("Tab");
    RunLoop::main().runFor(0.3);
  }
  ASSERT_EQ(script(*loader().webView(), "document.activeElement.id"), "ad");
  ASSERT_TRUE(press("Return"));
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(events->calls, std::vector<std::string>{"willPresent"});
  EXPECT_TRUE(runUntil([&] { return network->requestCount("/zovo/aclk") == clicks + 1; }))
      << "Enter on the ad is a click";
  std::weak_ptr<platform::ViewController> weakBrowser = browser->weak_from_this();
  platform::WebView& page = *browser->webView();
  ASSERT_TRUE(runUntil([&] { return !page.isLoading() && browser->view()->isUserInteractionEnabled(); }));
  const Place text = placeInWindow(page);
  const auto landing = screenshot("keys-4-browser.png");
  EXPECT_GT(landing.count(text.x, text.y, text.w, 200, [](const auto& c) { return c.luminance() < 130; }), 500)
      << "the landing page's text";

  // Reload from the toolbar, reached by Tab through the page.
  const size_t loads = network->requestCount("/landing");
  auto* reload = static_cast<GtkWidget*>(browser->vars()->reloadButton_->peer()->toolkitHandle());
  ASSERT_TRUE(tabTo(reload, 30)) << trail;
  const auto onReload = screenshot("keys-5-reload-focused.png");
  const Place at = placeInWindow(reload);
  EXPECT_GT(onReload.countDifferent(landing, at.x - 3, at.y - 3, at.w + 6, at.h + 6), 20) << "Reload shows the focus";
  ASSERT_TRUE(press("Return"));
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/landing") > loads && !page.isLoading(); }));
  EXPECT_GT(screenshot("keys-6-reloaded.png").count(text.x, text.y, text.w, 200,
                                                     [](const auto& c) { return c.luminance() < 130; }),
            500);
  EXPECT_TRUE(runUntil([&] { return gtk_root_get_focus(GTK_ROOT(gtk_widget_get_root(reload))) == reload; }, 3))
      << "the focus is back on Reload once the page has loaded";

  ASSERT_TRUE(press("Escape"));
  ASSERT_TRUE(runUntil([&] { return weakBrowser.expired(); }));
  RunLoop::main().runFor(platform::gtk::GtkWindowPeer::kTransitionSeconds);
  const auto back = screenshot("keys-7-sound-board-again.png");
  EXPECT_TRUE(back.at(5, 300).near(ScreenshotPixels::fromHex("#ffcf3f"))) << "the sound board";
  const Place band = placeInWindow(banner());
  EXPECT_GT(back.count(band.x, band.y, band.w, band.h, [&](const auto& c) { return c.near(adColour); }),
            band.w * band.h / 2)
      << "the ad, still in the banner";
}

}  // namespace

int main(int argc, char** argv) { return runApplicationWindowTests(argc, argv); }
