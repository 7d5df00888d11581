// A site's dialogs in the in-app browser, with real WebKit in the
// application's window: the application asks them in a window of its own
// (GtkPageDialog) that fits inside its window, names the site, shows the
// page's text and labelled buttons, and the person's keys and clicks give
// the page its answer.
#include <functional>
#include <string>

#include "ads/content/GADContentPolicy.h"
#include "platform/gtk/GtkPageDialog.h"
#include "platform/gtk/GtkWindowPeer.h"
#include "tests/e2e/AppWindowTest.h"
#include "tests/e2e/ScreenCapture.h"

namespace {

// The first label under `root` whose text `matches`.
GtkWidget* findLabel(GtkWidget* root, const std::function<bool(const std::string&)>& matches) {
  if (GTK_IS_LABEL(root) && matches(gtk_label_get_text(GTK_LABEL(root)))) return root;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child; child = gtk_widget_get_next_sibling(child))
    if (GtkWidget* found = findLabel(child, matches)) return found;
  return nullptr;
}
GtkWidget* labelWith(GtkWidget* root, const std::string& text) {
  return findLabel(root, [&](const std::string& t) { return t == text; });
}

GtkWidget* findEntry(GtkWidget* root) {
  if (GTK_IS_ENTRY(root)) return root;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child; child = gtk_widget_get_next_sibling(child))
    if (GtkWidget* found = findEntry(child)) return found;
  return nullptr;
}

class PageDialogWindowTest : public AppWindowTest {
 protected:
  void SetUp() override {
    AppWindowTest::SetUp();
    GADContentPolicy::resetForTesting();
  }
  // The browser on a fresh ad's landing page, loaded, at the end of its slide.
  void openTheBrowser() {
    showFreshAd();
    clickTheAd();
    browser = waitForScreenOver<GADBrowserController>(mainScreen());
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(runUntil(
        [&] { return browser->view()->isUserInteractionEnabled() && !page().isLoading() && page().currentURL(); }));
  }
  platform::WebView& page() { return *browser->webView(); }
  GtkWidget* appWindow() { return GTK_WIDGET(dynamic_cast<platform::gtk::GtkWindowPeer&>(*window().peer()).window()); }
  // The same once the page's part of it is painted (a page paints a moment
  // after its window is drawn anew, black until then).
  ScreenshotPixels captureOncePainted(const std::string& name) {
    const ScreenRect area = windowArea();
    const auto web = screenRectOf(gtk_widgets::widgetOf(page()));
    EXPECT_TRUE(web);
    const auto unpainted = [&](const ScreenshotPixels& shot) {
      return web && shot.count(web->x - area.x, web->y - area.y, web->w, web->h,
                               [](const auto& c) { return c.luminance() < 16; }) > web->w * web->h / 2;
    };
    ScreenshotPixels shot = capture(name);
    for (int attempt = 0; attempt < 20 && unpainted(shot); ++attempt) shot = capture(name);
    EXPECT_FALSE(unpainted(shot)) << name;
    return shot;
  }
  // The modal window shown over the application's window, if one is.
  GtkWidget* dialog() {
    GListModel* windows = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(windows); ++i) {
      auto* candidate = static_cast<GtkWindow*>(g_list_model_get_item(windows, i));
      g_object_unref(candidate);  // the list holds it
      if (gtk_window_get_transient_for(candidate) == GTK_WINDOW(appWindow()) && gtk_window_get_modal(candidate) &&
          gtk_widget_get_mapped(GTK_WIDGET(candidate)))
        return GTK_WIDGET(candidate);
    }
    return nullptr;
  }
  // The page asks: `question` is a script whose value is the answer, which
  // the page writes into its title once the person has given it.
  GtkWidget* ask(const std::string& question) {
    script(page(), "setTimeout(function(){document.title='said '+(" + question + ");},0); 1");
    runUntil([&] { return dialog() != nullptr; }, 10);
    RunLoop::main().runFor(0.3);  // drawn
    return dialog();
  }
  // What the page was told, once the dialog has gone (a script sent while
  // it is up would wait for the person as well).
  std::string answerThePageGot() {
    EXPECT_TRUE(runUntil([&] { return dialog() == nullptr; }, 10)) << "the answer closes the dialog";
    runUntil([&] { return script(page(), "document.title").starts_with("said"); }, 10);
    return script(page(), "document.title");
  }
  // Where the application's window lies on the screen.
  ScreenRect windowArea() {
    const auto area = screenRectOf(appWindow());
    EXPECT_TRUE(area);
    return area.value_or(ScreenRect{});
  }
  // The application's window as the screen shows it, with whatever lies
  // over it, saved as `name`.
  ScreenshotPixels capture(const std::string& name) {
    RunLoop::main().runFor(0.2);
    EXPECT_TRUE(captureScreen(gtk_widget_get_display(appWindow()), windowArea(), screenshots / name)) << name;
    ScreenshotPixels shot(screenshots / name);
    EXPECT_TRUE(shot.isLoaded()) << name;
    return shot;
  }
  // "host:port says", as the dialog names the landing page's site.
  std::string siteHeading() {
    const auto url = page().currentURL();
    return url->host() + ":" + std::to_string(url->port().value_or(0)) + " says";
  }
  // The dialog lies inside the application's window on the screen.
  void expectInsideTheWindow(GtkWidget* shown) {
    const auto outer = screenRectOf(appWindow()), inner = screenRectOf(shown);
    ASSERT_TRUE(outer && inner);
    EXPECT_TRUE(outer->contains(*inner)) << "dialog " << inner->w << "x" << inner->h << " at " << inner->x << ","
                                         << inner->y << "; window " << outer->w << "x" << outer->h << " at " << outer->x
                                         << "," << outer->y;
  }

  GADBrowserController* browser = nullptr;
};

// Pixels of `widget`'s part of `shot` (a capture of the application's
// window) that stand out from the colour at its left edge: text painted on
// a plain background.
int inkOf(const ScreenshotPixels& shot, const ScreenRect& window, GtkWidget* widget) {
  const auto place = screenRectOf(widget);
  if (!place) return 0;
  const int x = place->x - window.x, y = place->y - window.y;
  const int background = shot.at(x + 4, y + place->h / 2).luminance();
  return shot.count(x, y, place->w, place->h, [&](const auto& c) { return std::abs(c.luminance() - background) > 90; });
}

TEST_F(PageDialogWindowTest, AConfirmIsAskedInsideTheWindowWithTheSiteTheTextAndLabelledButtons) {
  ASSERT_NO_FATAL_FAILURE(openTheBrowser());
  const ScreenRect area = windowArea();
  const ScreenshotPixels before = captureOncePainted("browser-before-dialog.png");
  const std::string question = "Do you want to leave this page and lose everything you typed into the form below?";
  GtkWidget* shown = ask("confirm('" + question + "')");
  ASSERT_NE(shown, nullptr) << "the application's own dialog";
  expectInsideTheWindow(shown);
  GtkWidget* heading = labelWith(shown, siteHeading());
  GtkWidget* message = labelWith(shown, question);
  EXPECT_NE(heading, nullptr) << "who asks";
  EXPECT_NE(message, nullptr) << "the page's text, whole";
  GtkWidget* ok = gtk_widgets::findButton(shown, "OK");
  GtkWidget* cancel = gtk_widgets::findButton(shown, "Cancel");
  ASSERT_TRUE(heading && message && ok && cancel);

  // As a person sees it: the site, the text and both buttons' labels
  // painted, and the page still in view beside the dialog.
  const auto box = screenRectOf(shown), web = screenRectOf(gtk_widgets::widgetOf(page()));
  ASSERT_TRUE(box && web);
  const ScreenshotPixels shot = captureOncePainted("browser-dialog.png");
  const ScreenRect covered = web->overlap(*box);
  const int pageChanged = shot.countDifferent(before, web->x - area.x, web->y - area.y, web->w, web->h) -
                          shot.countDifferent(before, covered.x - area.x, covered.y - area.y, covered.w, covered.h);
  EXPECT_LE(pageChanged, web->w * web->h / 50) << "the page beside the dialog, as it was";
  EXPECT_GT(inkOf(shot, area, heading), 100) << "the site's name painted";
  EXPECT_GT(inkOf(shot, area, message), 300) << "the page's text painted";
  EXPECT_GT(inkOf(shot, area, ok), 15) << "OK painted";
  EXPECT_GT(inkOf(shot, area, cancel), 30) << "Cancel painted";

  // The banner's page is not the browser's: it answers while the dialog is up.
  EXPECT_EQ(PageScript::evaluate(*loader().webView(), "6*7").value_or(""), "42");
  EXPECT_TRUE(RealInput::pressKey(shown, "Return"));
  EXPECT_EQ(answerThePageGot(), "said true") << "Return is OK";
  EXPECT_EQ(GADContentPolicy::refusalCount(GADContentPolicy::Refusal::Dialog), 0);
}

TEST_F(PageDialogWindowTest, EscapeCancelsAndThePromptsEntryAndButtonsAnswerTheirWay) {
  ASSERT_NO_FATAL_FAILURE(openTheBrowser());
  GtkWidget* shown = ask("confirm('Sure?')");
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(RealInput::pressKey(shown, "Escape"));
  EXPECT_EQ(answerThePageGot(), "said false") << "Escape is Cancel";
  EXPECT_TRUE(runUntil([&] { return gtk_window_is_active(GTK_WINDOW(appWindow())); }, 5))
      << "the keyboard is the window's again";
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(presentedOver<GADBrowserController>(mainScreen()), browser) << "and closes the dialog alone";

  shown = ask("prompt('Your name?', 'Ada')");
  ASSERT_NE(shown, nullptr);
  expectInsideTheWindow(shown);
  GtkWidget* entry = findEntry(shown);
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(gtk_editable_get_text(GTK_EDITABLE(entry)), "Ada") << "the page's default text";
  EXPECT_NE(labelWith(shown, "Your name?"), nullptr);
  EXPECT_TRUE(RealInput::pressKey(shown, "End"));
  EXPECT_TRUE(RealInput::pressKey(shown, "e"));
  EXPECT_TRUE(RealInput::pressKey(shown, "Return"));
  EXPECT_EQ(answerThePageGot(), "said Adae") << "what the person typed";

  shown = ask("prompt('Your name?', 'Ada')");
  ASSERT_NE(shown, nullptr);
  GtkWidget* cancel = gtk_widgets::findButton(shown, "Cancel");
  ASSERT_NE(cancel, nullptr);
  EXPECT_TRUE(RealInput::clickAt(cancel, gtk_widget_get_width(cancel) / 2.0, gtk_widget_get_height(cancel) / 2.0));
  EXPECT_EQ(answerThePageGot(), "said null") << "a click on Cancel";
}

TEST_F(PageDialogWindowTest, ALeavePageQuestionOffersLeaveAndStay) {
  ASSERT_NO_FATAL_FAILURE(openTheBrowser());
  script(page(), "window.onbeforeunload=function(e){e.preventDefault();e.returnValue='Unsaved';return 'Unsaved';}; 1");
  const auto landing = page().currentURL()->absoluteString();
  clickLink(page(), "more");  // a click: WebKit asks only of a page the person has used
  GtkWidget* shown = nullptr;
  ASSERT_TRUE(runUntil([&] { return (shown = dialog()) != nullptr; }, 10));
  EXPECT_NE(gtk_widgets::findButton(shown, "Leave"), nullptr);
  EXPECT_NE(gtk_widgets::findButton(shown, "Stay"), nullptr);
  EXPECT_TRUE(RealInput::pressKey(shown, "Escape"));
  ASSERT_TRUE(runUntil([&] { return dialog() == nullptr; }, 10));
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(page().currentURL()->absoluteString(), landing) << "Escape stays";

  clickLink(page(), "more");
  ASSERT_TRUE(runUntil([&] { return (shown = dialog()) != nullptr; }, 10));
  EXPECT_TRUE(RealInput::pressKey(shown, "Return"));
  EXPECT_TRUE(runUntil([&] { return page().currentURL()->path() == "/landing/more"; }, 10)) << "Return leaves";
}

// A page's text is untrusted: a megabyte of it is cut, and the dialog still
// fits the window.
TEST_F(PageDialogWindowTest, AMegabyteMessageIsCutToFitTheWindow) {
  ASSERT_NO_FATAL_FAILURE(openTheBrowser());
  GtkWidget* shown = ask("alert('word '.repeat(200000))");
  ASSERT_NE(shown, nullptr);
  expectInsideTheWindow(shown);
  GtkWidget* label = findLabel(shown, [](const std::string& t) { return t.starts_with("word"); });
  ASSERT_NE(label, nullptr);
  const std::string message = gtk_label_get_text(GTK_LABEL(label));
  EXPECT_EQ(g_utf8_strlen(message.c_str(), -1), platform::gtk::GtkPageDialog::kMaximumMessageCharacters + 1);
  EXPECT_TRUE(message.ends_with("…"));
  EXPECT_NE(gtk_widgets::findButton(shown, "OK"), nullptr);
  EXPECT_TRUE(RealInput::pressKey(shown, "Return"));
  EXPECT_EQ(answerThePageGot(), "said undefined");
}

// The screen goes with a question up: the dialog goes too, WebKit's is
// answered (the browsers' shared page process is free: the next browser's
// page loads and answers) and nothing is used after it is freed (ASan).
TEST_F(PageDialogWindowTest, ClosingTheBrowserWithADialogUpClosesTheDialog) {
  ASSERT_NO_FATAL_FAILURE(openTheBrowser());
  ASSERT_NE(ask("confirm('Still there?')"), nullptr);
  giveBack(*browser);
  EXPECT_EQ(dialog(), nullptr);
  ASSERT_NO_FATAL_FAILURE(openTheBrowser());
  EXPECT_EQ(script(page(), "6*7"), "42");
}

}  // namespace
