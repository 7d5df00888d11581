// The whole way from a shown ad to a click and back, in the application's
// own window (run under xvfb-run) with real WebKit and the sandbox ad
// network: the in-app browser on the landing site, the full-screen web
// application from a URL and from HTML, and the statistics the next request
// reports. Screenshots go to $BLORVIK_SCREENSHOTS (the test run names it).
#include "tests/e2e/AppWindowTest.h"

#include "ads/content/GADOpener.h"
#include "bench/ProcessFigures.h"
#include "platform/MailComposer.h"
#include "platform/gtk/GtkToolkit.h"
#include "app/info.h"
#include "tests/e2e/WindowTestMain.h"

namespace {

class ClickThroughWindowTest : public AppWindowTest {};

TEST_F(ClickThroughWindowTest, TheBrowserOpensOnTheLandingSiteFollowsItsHistoryAndDoneGivesTheScreenBack) {
  showFreshAd();
  {
    // The window as the application shows it: its own style (the main
    // screen's yellow, the dark status bar) above the ad.
    const auto shot = screenshotOnceTheAdShows("banner-with-ad.png");
    expectTheAdIn(shot);
    EXPECT_TRUE(shot.at(5, 300).near(ScreenshotPixels::fromHex("#ffcf3f"))) << "the main screen's colour";
    EXPECT_LT(shot.meanLuminance(0, 0, 320, 18), 60) << "the status bar";
  }
  const std::string adPage = loader().webView()->currentURL()->absoluteString();
  events->calls.clear();
  clickTheAd();
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  std::weak_ptr<platform::ViewController> weak = browser->weak_from_this();
  EXPECT_EQ(events->calls, std::vector<std::string>{"willPresent"});
  auto& toolbar = *browser->toolbar();
  EXPECT_EQ(toolbar.items().size(), 9u);
  EXPECT_EQ(toolbar.items()[4]->accessibilityLabel(), "Spinner") << "while the landing page loads";
  EXPECT_EQ(gtk_widgets::childCount(gtk_widgets::widgetOf(toolbar)), 9);

  platform::WebView& page = *browser->webView();
  ASSERT_TRUE(runUntil([&] { return !page.isLoading() && browser->vars()->spinner_->isAnimating() == false; }));
  EXPECT_EQ(page.currentURL()->path(), "/landing");
  EXPECT_EQ(toolbar.items()[4]->accessibilityLabel(), "Reload");
  EXPECT_FALSE(toolbar.items()[0]->isEnabled()) << "no history yet";
  EXPECT_TRUE(toolbar.items()[6]->isEnabled());
  // The click server heard the click with the ad's page as its referrer.
  std::optional<std::string> referer;
  for (const auto& request : network->requests())
    if (request.path == "/zovo/aclk") referer = request.header("Referer");
  EXPECT_EQ(referer, adPage);
  {
    const Place text = placeInWindow(page);
    const auto shot =
        screenshotOnce("browser-landing-page.png", [&](const ScreenshotPixels& s) { return textIn(s, text) > 500; });
    // The toolbar: a dark band down to the window's bottom edge, and each
    // enabled item (Reload, open in the browser, Done) drawn light on it.
    const Place bar = placeInWindow(toolbar);
    EXPECT_EQ(bar.y + bar.h, 480) << "the bar reaches the bottom";
    EXPECT_EQ(bar.h, GADBrowserController::kToolbarHeight) << "laid out at the screen's size, not stretched to it";
    EXPECT_LT(shot.meanLuminance(bar.x, bar.y, bar.w, bar.h), 90) << "a dark band";
    GtkWidget* item = gtk_widget_get_first_child(gtk_widgets::widgetOf(toolbar));
    for (int i = 0; item; ++i, item = gtk_widget_get_next_sibling(item)) {
      if (i != 4 && i != 6 && i != 8) continue;
      const Place at = placeInWindow(item);
      EXPECT_GT(shot.count(at.x, at.y, at.w, at.h, [](const auto& c) { return c.luminance() > 170; }), 15)
          << "item " << i << " is visible";
    }
    EXPECT_GT(textIn(shot, text), 500) << "the landing page's text, above the bar";
  }
  GtkWidget* shell = GTK_WIDGET(dynamic_cast<platform::gtk::GtkWindowPeer*>(window().peer())->window());
  EXPECT_EQ(gtk_widget_get_width(shell), 320) << "the bar keeps to its frame, and the window to its size";

  // A link, then Back and Forward through the history.
  clickLink(page, "more");
  ASSERT_TRUE(runUntil([&] { return page.currentURL()->path() == "/landing/more" && !page.isLoading(); }));
  ASSERT_TRUE(runUntil([&] { return toolbar.items()[0]->isEnabled(); }));
  toolbar.items()[0]->press();
  ASSERT_TRUE(runUntil([&] { return page.currentURL()->path() == "/landing" && !page.isLoading(); }));
  ASSERT_TRUE(runUntil([&] { return toolbar.items()[2]->isEnabled(); }));
  toolbar.items()[2]->press();
  ASSERT_TRUE(runUntil([&] { return page.currentURL()->path() == "/landing/more" && !page.isLoading(); }));
  // A link for a new window opens in the browser itself.
  toolbar.items()[0]->press();
  ASSERT_TRUE(runUntil([&] { return page.currentURL()->path() == "/landing" && !page.isLoading(); }));
  clickLink(page, "blank");
  ASSERT_TRUE(runUntil([&] { return page.currentURL()->path() == "/landing/more" && !page.isLoading(); }));
  // A slow page shows the spinner, with open-in-browser off, until it ends.
  clickLink(page, "slow");
  ASSERT_TRUE(runUntil([&] { return toolbar.items()[4]->accessibilityLabel() == "Spinner"; }));
  EXPECT_FALSE(toolbar.items()[6]->isEnabled());
  EXPECT_TRUE(browser->vars()->spinner_->isAnimating());
  ASSERT_TRUE(runUntil([&] { return page.currentURL()->path() == "/landing/slow" && !page.isLoading(); }));
  EXPECT_EQ(toolbar.items()[4]->accessibilityLabel(), "Reload");
  EXPECT_TRUE(toolbar.items()[6]->isEnabled());
  // A secure link (nothing answers it on loopback) and a failing page
  // only bring Reload back.
  clickLink(page, "secure");
  RunLoop::main().runFor(0.5);
  ASSERT_TRUE(runUntil([&] { return !page.isLoading(); }));
  EXPECT_EQ(toolbar.items()[4]->accessibilityLabel(), "Reload");
  clickLink(page, "fail");
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/landing/fail") >= 1; }));
  RunLoop::main().runFor(0.3);
  ASSERT_TRUE(runUntil([&] { return !page.isLoading(); }));
  EXPECT_EQ(toolbar.items()[4]->accessibilityLabel(), "Reload");

  events->calls.clear();
  toolbar.items()[8]->press();  // Done
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willDismiss", "didDismiss"}));
  EXPECT_TRUE(loader().hasReloadTimer()) << "the banner refreshes again";

  const auto& next = nextRequest();
  for (const char* key : {"plpl", "plpd", "pcl"}) EXPECT_TRUE(next.parameters.contains(key)) << key;
  EXPECT_EQ(next.parameters.contains("plpnc") ? next.parameters.at("plpnc") : "(none)", "4")
      << "more, more in a new window, slow, fail";
  EXPECT_EQ(next.parameters.contains("plpsnc") ? next.parameters.at("plpsnc") : "(none)", "1") << "secure";
}

TEST_F(ClickThroughWindowTest, AnAdWithClickTrackingOpensTheWebApplicationWhichHearsItsEventsAndClosesItself) {
  network->behaviour().clickTracking = true;
  network->behaviour().landingPath = "/webapp";
  showFreshAd();
  events->calls.clear();
  clickTheAd();
  auto* webApp = waitForScreenOver<GADWebAppViewController>(mainScreen());
  ASSERT_NE(webApp, nullptr);
  std::weak_ptr<platform::ViewController> weak = webApp->weak_from_this();
  platform::WebView& page = *webApp->webView();
  ASSERT_TRUE(runUntil([&] { return appEvents(page) == "onshow"; }));
  const std::string info = script(page, "JSON.stringify(Object.keys(window.appEvents[0].info).sort())");
  EXPECT_EQ(info, "[\"device\",\"version\"]");
  EXPECT_EQ(script(page, "window.appEvents[0].info.version"), GADRequest::sdkVersion());
  EXPECT_FALSE(webApp->vars()->loadingSpinner_) << "gone with the first load";
  {
    // The application's panel on its transparent page, and the close button.
    const auto shot = screenshot("web-application.png");
    EXPECT_TRUE(shot.at(160, 200).near({18, 35, 79})) << "the panel";
    const Place close = placeInWindow(*webApp->vars()->closeButton_);
    EXPECT_GT(shot.count(close.x, close.y, close.w, close.h, [](const auto& c) { return c.luminance() > 170; }), 15)
        << "the close button";
  }

  // A browser opened from the web application covers it: "onhide", and
  // no second "onshow" when it comes back.
  clickLink(page, "browser");
  auto* browser = waitForScreenOver<GADBrowserController>(*webApp);
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->openingWebView(), &page);
  ASSERT_TRUE(runUntil([&] { return appEvents(page) == "onshow,onhide"; }));
  std::weak_ptr<platform::ViewController> weakBrowser = browser->weak_from_this();
  ASSERT_TRUE(runUntil([&] { return browser->view()->isUserInteractionEnabled(); }));
  browser->toolbar()->items()[8]->press();
  ASSERT_TRUE(runUntil([&] { return weakBrowser.expired(); }));
  RunLoop::main().runFor(0.3);
  EXPECT_EQ(appEvents(page), "onshow,onhide");
  EXPECT_EQ(events->calls, std::vector<std::string>{"willPresent"}) << "the nested browser tells nothing";

  clickLink(page, "close");
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willPresent", "willDismiss", "didDismiss"}));
}

TEST_F(ClickThroughWindowTest, AWebApplicationGivenAsHTMLClosesWithItsCloseButton) {
  network->behaviour().openAction = "webapp-html";
  showFreshAd();
  events->calls.clear();
  clickTheAd();
  auto* webApp = waitForScreenOver<GADWebAppViewController>(mainScreen());
  ASSERT_NE(webApp, nullptr);
  std::weak_ptr<platform::ViewController> weak = webApp->weak_from_this();
  ASSERT_TRUE(runUntil([&] { return appEvents(*webApp->webView()) == "onshow"; }));
  ASSERT_TRUE(runUntil([&] { return webApp->view()->isUserInteractionEnabled(); }));
  GtkWidget* close = gtk_widgets::widgetOf(*webApp->vars()->closeButton_);
  ASSERT_NE(close, nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(close));
  {
    const auto shot = screenshot("web-application-from-html.png");
    EXPECT_TRUE(shot.at(160, 200).near({18, 35, 79})) << "the panel";
    const Place closing = placeInWindow(*webApp->vars()->closeButton_);
    EXPECT_GT(shot.count(closing.x, closing.y, closing.w, closing.h, [](const auto& c) { return c.luminance() > 170; }),
              15)
        << "the close button";
  }
  g_signal_emit_by_name(close, "clicked");
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willPresent", "willDismiss", "didDismiss"}));
}

// Escape closes the top screen as its own Done, close or back control
// would, wherever the focus is in it (the landing page's own, say); on the
// main screen it closes nothing.
TEST_F(ClickThroughWindowTest, EscapeClosesTheTopScreenWhereverTheFocusIs) {
  showFreshAd();
  events->calls.clear();
  clickTheAd();
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  std::weak_ptr<platform::ViewController> weak = browser->weak_from_this();
  ASSERT_TRUE(runUntil([&] { return !browser->webView()->isLoading() && browser->view()->isUserInteractionEnabled(); }));
  // A step of the page's own history loads nothing; Back comes all the same.
  auto& back = *browser->toolbar()->items()[0];
  EXPECT_FALSE(back.isEnabled());
  script(*browser->webView(), "history.pushState({}, '', '#step'); 1");
  EXPECT_TRUE(runUntil([&] { return back.isEnabled(); }, 5)) << "Back after history.pushState";
  GtkWindow* shell = dynamic_cast<platform::gtk::GtkWindowPeer*>(window().peer())->window();
  gtk_widget_grab_focus(gtk_widgets::widgetOf(*browser->webView()));
  ASSERT_TRUE(RealInput::pressKey(*browser->view(), "Escape"));
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  EXPECT_EQ(events->calls, (std::vector<std::string>{"willPresent", "willDismiss", "didDismiss"}));
  ASSERT_TRUE(runUntil([&] { return !gtk_stack_get_transition_running(gtk_widgets::screensOf(window())); }));
  // The click on the ad gave the banner the focus: it has it again.
  GtkWidget* focus = gtk_root_get_focus(GTK_ROOT(shell));
  GtkWidget* bannerWidget = gtk_widgets::widgetOf(banner());
  EXPECT_TRUE(focus && (focus == bannerWidget || gtk_widget_is_ancestor(focus, bannerWidget)))
      << "the focus is back in the banner, not on " << (focus ? G_OBJECT_TYPE_NAME(focus) : "nothing");

  // By keyboard alone: Return on the focused Info button opens its screen,
  // Escape closes it, and the focus is back where it was.
  GtkWidget* infoButton = gtk_widgets::findButton(gtk_widgets::widgetOf(*mainScreen().view()), "Info");
  ASSERT_NE(infoButton, nullptr);
  ASSERT_TRUE(gtk_widget_grab_focus(infoButton));
  ASSERT_TRUE(RealInput::pressKey(*mainScreen().view(), "Return"));
  ASSERT_TRUE(runUntil([&] { return dynamic_cast<info*>(mainScreen().modalViewController()) != nullptr; }));
  auto* shown = dynamic_cast<info*>(mainScreen().modalViewController());
  std::weak_ptr<platform::ViewController> weakInfo = shown->weak_from_this();
  ASSERT_TRUE(runUntil([&] { return !gtk_stack_get_transition_running(gtk_widgets::screensOf(window())); }));
  ASSERT_TRUE(RealInput::pressKey(*shown->view(), "Escape"));
  ASSERT_TRUE(runUntil([&] { return weakInfo.expired(); }));
  EXPECT_TRUE(runUntil([&] { return gtk_root_get_focus(GTK_ROOT(shell)) == infoButton; }, 3))
      << "the focus is back on Info";

  ASSERT_TRUE(RealInput::pressKey(*mainScreen().view(), "Escape"));
  RunLoop::main().runFor(0.3);
  EXPECT_EQ(mainScreen().modalViewController(), nullptr);
  EXPECT_EQ(window().rootViewController(), &mainScreen()) << "the main screen stays";
}

TEST_F(ClickThroughWindowTest, AnOpenMessageForTheBrowserOrAVideoOpensTheBrowserAndAnAppLinkLeaves) {
  std::vector<std::string> opened;
  Application::shared().setCanOpenURLForTesting([](const std::string&) { return true; });
  Application::shared().setOpenURLForTesting([&](const std::string& url) {
    opened.push_back(url);
    return true;
  });
  for (const char* action : {"browser", "video"}) {
    SCOPED_TRACE(action);
    network->behaviour().openAction = action;
    showFreshAd();
    clickTheAd();
    auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
    ASSERT_NE(browser, nullptr);
    std::weak_ptr<platform::ViewController> weak = browser->weak_from_this();
    ASSERT_TRUE(runUntil([&] { return browser->webView()->currentURL() &&
                                      browser->webView()->currentURL()->path() == "/landing"; }));
    ASSERT_TRUE(runUntil([&] { return browser->view()->isUserInteractionEnabled(); }));
    browser->relinquishScreen();
    ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  }
  network->behaviour().openAction = "app";
  showFreshAd();
  events->calls.clear();
  clickTheAd();
  ASSERT_TRUE(runUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened[0].rfind(network->url("/zovo/aclk?ad="), 0), 0u) << opened[0];
  EXPECT_EQ(events->calls, std::vector<std::string>{"willLeave"});
  EXPECT_EQ(mainScreen().modalViewController(), nullptr);
  Application::shared().setOpenURLForTesting({});
}

TEST_F(ClickThroughWindowTest, AMailtoLinkInTheAdFillsTheComposerWhoseSendHandsTheMailOn) {
  // The ad's own colour, to tell it from the form in the screenshots.
  const auto adColour = ScreenshotPixels::fromHex("#b0306a");
  network->behaviour().adBody =
      "<html><body style=\"margin:0;background:#b0306a\"><a id=\"ad\" href=\"mailto:shop@example.test?"
      "subject=Kazoo%20lessons&cc=a@example.test,b@example.test&body=Hello\">Write to us</a></body></html>";
  Application::shared().setCanOpenURLForTesting([](const std::string& url) { return url == "mailto:"; });
  std::vector<std::string> opened;
  Application::shared().setOpenURLForTesting([&](const std::string& url) {
    opened.push_back(url);
    return true;
  });
  showFreshAd();
  {
    // A new page process paints its first frame late: a few tries.
    const Place band = placeInWindow(banner());
    auto adPixels = [&] {
      return screenshot("mail-ad.png").count(band.x, band.y, band.w, band.h,
                                             [&](const auto& c) { return c.near(adColour, 12); });
    };
    int seen = adPixels();
    for (int attempt = 0; attempt < 10 && seen <= band.w * band.h / 2; ++attempt) seen = adPixels();
    ASSERT_GT(seen, band.w * band.h / 2) << "the ad's colour fills the banner";
  }
  clickTheAd();
  auto* composer = waitForScreenOver<platform::MailComposer>(mainScreen());
  ASSERT_NE(composer, nullptr);
  // Read back from the GTK form.
  const platform::MailFields fields = composer->fields();
  EXPECT_EQ(fields.to, std::vector<std::string>{"shop@example.test"});
  EXPECT_EQ(fields.cc, (std::vector<std::string>{"a@example.test", "b@example.test"}));
  EXPECT_EQ(fields.subject, "Kazoo lessons");
  EXPECT_EQ(fields.body, "Hello");
  {
    // Once it has slid up, the composer covers the whole window: nothing of
    // the ad shows.
    ASSERT_TRUE(runUntil([&] { return !gtk_stack_get_transition_running(gtk_widgets::screensOf(window())); }));
    const auto shot = screenshot("mail-composer.png");
    EXPECT_EQ(shot.count(0, 0, 320, 480, [&](const auto& c) { return c.near(adColour, 12); }), 0);
    EXPECT_GT(shot.meanLuminance(0, 430, 320, 50), 200) << "the form down to the bottom";
  }
  GtkWidget* shell = GTK_WIDGET(dynamic_cast<platform::gtk::GtkWindowPeer*>(window().peer())->window());
  EXPECT_EQ(gtk_widget_get_width(shell), 320) << "the form keeps to the screen";
  EXPECT_EQ(gtk_widget_get_height(shell), 480);
  GtkWidget* send = gtk_widgets::findButton(gtk_widgets::widgetOf(*composer->view()), "Send");
  ASSERT_NE(send, nullptr);
  std::weak_ptr<platform::ViewController> weak = composer->weak_from_this();
  g_signal_emit_by_name(send, "clicked");
  ASSERT_TRUE(runUntil([&] { return weak.expired(); }));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].rfind("mailto:shop@example.test?", 0), 0u) << opened[0];
  EXPECT_NE(opened[0].find("subject=Kazoo%20lessons"), std::string::npos) << opened[0];
  Application::shared().setCanOpenURLForTesting({});
}

TEST_F(ClickThroughWindowTest, ALoadThatEndsInARefusedRedirectStopsTheSpinner) {
  showFreshAd();
  auto opener = openerOverMainScreen();
  opener->openBrowserToURLSupportedOrientations(platform::URL::create(network->url("/landing?ad=1")), kGADOrientationAny);
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  platform::WebView& page = *browser->webView();
  ASSERT_TRUE(runUntil([&] { return !page.isLoading() && browser->view()->isUserInteractionEnabled(); }));
  // The click server sends the page on to the dialler, which no page may
  // reach by itself: the load is refused at that hop and ends there.
  page.loadRequest(platform::URLRequest(*platform::URL::create(network->url("/zovo/aclk?ad=1&to=tel%3A5550100"))));
  ASSERT_TRUE(runUntil([&] { return network->requestCount("/zovo/aclk") >= 1; }));
  EXPECT_TRUE(runUntil([&] { return browser->toolbar()->items()[4]->accessibilityLabel() == "Reload"; }, 5))
      << "the spinner still turns";
  EXPECT_FALSE(browser->vars()->spinner_->isAnimating());
  giveBack(*browser);
}

// An ad's sound waits for the user's click; the screens the user opened
// with one play their page's sound at once.
TEST_F(ClickThroughWindowTest, TheScreensPlayTheirPagesMediaAtOnceWhileTheBannerWaitsForAClick) {
  const std::string play = "<audio id=\"clip\" src=\"" + network->url("/landing/clip.wav") +
                           "\"></audio><script>window.playback='';document.getElementById('clip').play().then("
                           "function(){window.playback='played';},function(e){window.playback=e.name;});</script>";
  network->behaviour().adBody = "<html><body style=\"margin:0;background:#3060b0\">" + play + "</body></html>";
  showFreshAd();
  auto playback = [](platform::WebView& page) {
    std::string outcome;
    runUntil([&] { return !(outcome = script(page, "window.playback")).empty(); }, 10);
    return outcome;
  };
  EXPECT_EQ(playback(*loader().webView()), "NotAllowedError") << "the banner";

  auto opener = openerOverMainScreen();
  const auto media = platform::URL::create(network->url("/landing/media"));
  opener->openBrowserToURLSupportedOrientations(media, kGADOrientationAny);
  auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(playback(*browser->webView()), "played") << "the browser";
  giveBack(*browser);

  opener->openWebAppSupportedOrientations(*media, kGADOrientationAny);
  auto* webApp = waitForScreenOver<GADWebAppViewController>(mainScreen());
  ASSERT_NE(webApp, nullptr);
  EXPECT_EQ(playback(*webApp->webView()), "played") << "the web application";
  giveBack(*webApp);
  showFreshAd();
  EXPECT_EQ(playback(*loader().webView()), "NotAllowedError") << "the next ad, after the screens";
}

// A landing page whose script never returns: left up, it is ended and its
// browser closes; closed at once, its process goes with it; either way the
// next browser loads.
TEST_F(ClickThroughWindowTest, ALandingPageThatNeverReturnsIsEndedAndTheNextBrowserLoads) {
  showFreshAd();
  const int before = ProcessFigures::webProcesses();
  auto opener = openerOverMainScreen();
  auto openBrowser = [&](const std::string& path) {
    opener->openBrowserToURLSupportedOrientations(platform::URL::create(network->url(path)), kGADOrientationAny);
    auto* browser = waitForScreenOver<GADBrowserController>(mainScreen());
    EXPECT_NE(browser, nullptr) << path;
    EXPECT_TRUE(browser && runUntil([&] { return !browser->webView()->isLoading() &&
                                                 browser->view()->isUserInteractionEnabled(); }, 10))
        << path << " loads";
    return browser;
  };
  auto* left = openBrowser("/landing/busy");
  ASSERT_NE(left, nullptr);
  std::weak_ptr<platform::ViewController> weakLeft = left->weak_from_this();
  EXPECT_TRUE(runUntil([&] { return weakLeft.expired(); }, 30)) << "the browser of a page that never returns";
  if (!weakLeft.expired()) giveBack(*left);

  auto* closed = openBrowser("/landing/busy");
  ASSERT_NE(closed, nullptr);
  RunLoop::main().runFor(0.5);  // its script has started
  giveBack(*closed);
  EXPECT_TRUE(runUntil([&] { return ProcessFigures::webProcesses() <= before; }, 5))
      << ProcessFigures::webProcesses() << " web processes, " << before << " before";
  auto* next = openBrowser("/landing?ad=1");
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(script(*next->webView(), "document.querySelector('h1') !== null"), "true");
  giveBack(*next);
}

// A screen given back while it still slides up, and one presented while
// the last slides down: each ends as it would at rest, and the window shows
// only the screens that are up.
TEST_F(ClickThroughWindowTest, ScreensComingAndGoingMidSlideLeaveTheWindowAsItShouldBe) {
  showFreshAd();
  auto opener = openerOverMainScreen();
  const auto landing = platform::URL::create(network->url("/landing?ad=1"));
  GtkStack* screens = gtk_widgets::screensOf(window());
  GtkWidget* mainWidget = gtk_widgets::widgetOf(*mainScreen().view());
  auto pages = [&] { return gtk_widgets::childCount(GTK_WIDGET(screens)); };

  opener->openBrowserToURLSupportedOrientations(landing, kGADOrientationAny);
  auto* rising = presentedOver<GADBrowserController>(mainScreen());
  ASSERT_NE(rising, nullptr);
  std::weak_ptr<platform::ViewController> weakRising = rising->weak_from_this();
  ASSERT_TRUE(gtk_stack_get_transition_running(screens)) << "still sliding up";
  rising->relinquishScreen();
  ASSERT_TRUE(runUntil([&] { return weakRising.expired() && !gtk_stack_get_transition_running(screens); }));
  EXPECT_EQ(mainScreen().modalViewController(), nullptr);
  EXPECT_EQ(gtk_stack_get_visible_child(screens), mainWidget);
  EXPECT_EQ(pages(), 1);

  opener->openBrowserToURLSupportedOrientations(landing, kGADOrientationAny);
  auto* first = waitForScreenOver<GADBrowserController>(mainScreen());
  ASSERT_NE(first, nullptr);
  std::weak_ptr<platform::ViewController> weakFirst = first->weak_from_this();
  ASSERT_TRUE(runUntil([&] { return first->view()->isUserInteractionEnabled(); }));
  first->relinquishScreen();
  ASSERT_TRUE(gtk_stack_get_transition_running(screens)) << "sliding down";
  opener->openBrowserToURLSupportedOrientations(landing, kGADOrientationAny);
  auto* second = presentedOver<GADBrowserController>(mainScreen());
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second, first) << "presented over the main screen as the first goes";
  EXPECT_EQ(second->parentViewController(), &mainScreen());
  ASSERT_TRUE(runUntil([&] { return weakFirst.expired() && !gtk_stack_get_transition_running(screens); }));
  EXPECT_EQ(gtk_stack_get_visible_child(screens), gtk_widgets::widgetOf(*second->view()));
  EXPECT_EQ(pages(), 2) << "the main screen and the second browser";
  ASSERT_TRUE(runUntil([&] { return second->view()->isUserInteractionEnabled() && !second->webView()->isLoading(); }))
      << "the second browser has appeared";
  const Place text = placeInWindow(*second->webView());
  const auto shot =
      screenshotOnce("browser-after-mid-slide.png", [&](const ScreenshotPixels& s) { return textIn(s, text) > 500; });
  EXPECT_GT(textIn(shot, text), 500) << "the second browser's page";
  const Place bar = placeInWindow(*second->toolbar());
  EXPECT_EQ(bar.y + bar.h, 480);
  EXPECT_LT(shot.meanLuminance(bar.x, bar.y, bar.w, bar.h), 90) << "the second browser's bar";
  giveBack(*second);
  ASSERT_TRUE(runUntil([&] { return !gtk_stack_get_transition_running(screens); }));
  EXPECT_EQ(gtk_stack_get_visible_child(screens), mainWidget);
  EXPECT_EQ(pages(), 1);
}

TEST_F(ClickThroughWindowTest, FiftyBrowserCyclesLeaveNoScreenAndNoWebProcessBehind) {
  showFreshAd();
  RunLoop::main().runFor(1.0);
  const int before = ProcessFigures::webProcesses();
  auto opener = openerOverMainScreen();
  const auto landing = platform::URL::create(network->url("/landing?ad=1"));
  for (int cycle = 0; cycle < 50; ++cycle) {
    opener->openBrowserToURLSupportedOrientations(landing, kGADOrientationAny);
    auto* browser = presentedOver<GADBrowserController>(mainScreen());
    ASSERT_NE(browser, nullptr) << cycle;
    std::weak_ptr<platform::ViewController> weak = browser->weak_from_this();
    ASSERT_TRUE(runUntil([&] { return !browser->webView()->isLoading() && browser->view()->isUserInteractionEnabled(); }))
        << cycle;
    browser->relinquishScreen();
    ASSERT_TRUE(runUntil([&] { return weak.expired(); })) << cycle;
  }
  EXPECT_TRUE(runUntil([&] { return ProcessFigures::webProcesses() <= before; }, 10))
      << ProcessFigures::webProcesses() << " web processes, " << before << " before";
}

}  // namespace

int main(int argc, char** argv) { return runApplicationWindowTests(argc, argv); }
