// What pages ask of WebKit itself, on real WebKit (under xvfb-run): files
// saved, the print dialog, permissions, full screen and the pointer. Ad
// pages get none of it, with or without a user's real click; the in-app
// browser's pages get a download or a print only for a click, and a
// download only where the user saves it. Pages come from a loopback server.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "adnet/LoopbackServer.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "platform/gtk/GtkPageCapabilities.h"
#include "tests/e2e/PageScript.h"
#include "tests/e2e/RealInput.h"
#include "tests/e2e/ScratchHome.h"
#include "tests/support/LoopbackTLSServer.h"

#include <webkit/webkit.h>

using platform::RunLoop;
using platform::URL;
using platform::URLRequest;
using platform::WebProcessGroup;
using platform::WebView;

namespace {

namespace fs = std::filesystem;

// Lets every navigation load and counts loads: only the page's
// capabilities are under test here, not the ad client's navigation rules.
class AllowAll : public platform::WebViewDelegate {
 public:
  int finished = 0, failed = 0;
  void webViewDidFinishLoad(WebView&) override { ++finished; }
  void webViewDidFailLoadWithError(WebView&, const platform::Error&) override { ++failed; }
};

// Every download the shared network session starts, and how it ends, for
// the process (a download may outlive a test); a test reads what happened
// since its record was made.
class Downloads {
 public:
  Downloads() : base_(totals()) {
    static const bool connected = [] {
      g_signal_connect(webkit_network_session_get_default(), "download-started",
                       G_CALLBACK(+[](WebKitNetworkSession*, WebKitDownload* download, gpointer) {
                         ++totals().started;
                         g_signal_connect(download, "failed", G_CALLBACK(+[](WebKitDownload* d, GError*, gpointer) {
                                            ++totals().failed;
                                            g_object_set_data(G_OBJECT(d), "failed", d);
                                          }),
                                          nullptr);
                         // Emitted after a failure as well.
                         g_signal_connect(download, "finished", G_CALLBACK(+[](WebKitDownload* d, gpointer) {
                                            if (!g_object_get_data(G_OBJECT(d), "failed")) ++totals().succeeded;
                                          }),
                                          nullptr);
                         g_signal_connect(download, "created-destination",
                                          G_CALLBACK(+[](WebKitDownload*, gchar*, gpointer) { ++totals().destinations; }),
                                          nullptr);
                       }),
                       nullptr);
      return true;
    }();
    (void)connected;
  }
  int started() const { return totals().started - base_.started; }
  int failed() const { return totals().failed - base_.failed; }
  int succeeded() const { return totals().succeeded - base_.succeeded; }
  int destinations() const { return totals().destinations - base_.destinations; }

 private:
  struct Counts {
    int started = 0, failed = 0, succeeded = 0, destinations = 0;
  };
  static Counts& totals() {
    static Counts counts;
    return counts;
  }
  Counts base_;
};

std::set<std::string> savedFiles() { return ScratchHome::savedFiles(); }

unsigned toplevels() { return g_list_model_get_n_items(gtk_window_get_toplevels()); }

// The toplevels' types and titles, for a failure's message.
std::string describeToplevels() {
  std::string text;
  GListModel* all = gtk_window_get_toplevels();
  for (unsigned i = 0; i < g_list_model_get_n_items(all); ++i) {
    auto* window = GTK_WINDOW(g_list_model_get_item(all, i));
    const char* title = gtk_window_get_title(window);
    text += std::string(G_OBJECT_TYPE_NAME(window)) + " '" + (title ? title : "") + "' ";
    if (GTK_IS_MESSAGE_DIALOG(window)) {
      char* said = nullptr;
      char* more = nullptr;
      g_object_get(window, "text", &said, "secondary-text", &more, nullptr);
      text += std::string("saying '") + (said ? said : "") + "' '" + (more ? more : "") + "' ";
      g_free(said);
      g_free(more);
    }
    g_object_unref(window);
  }
  return text;
}

// The first toplevel of that type other than `except`.
GtkWindow* toplevelOfType(GType type) {
  GListModel* all = gtk_window_get_toplevels();
  for (unsigned i = 0; i < g_list_model_get_n_items(all); ++i) {
    auto* window = GTK_WINDOW(g_list_model_get_item(all, i));
    g_object_unref(window);  // the list keeps it
    if (G_TYPE_CHECK_INSTANCE_TYPE(window, type)) return window;
  }
  return nullptr;
}

constexpr const char* kAttachment = "/files/update.sh";

class PageCapabilitiesWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(fs::path(g_get_home_dir()), fs::path(g_getenv("HOME"))) << "the home folder is the scratch one";
    adnet::Answer file;
    file.contentType = "application/x-sh";
    file.headers.emplace_back("Content-Disposition", "attachment; filename=\"update.sh\"");
    file.body = "#!/bin/sh\necho pwned\n";
    server.setAnswer(kAttachment, file);
    adnet::Answer unshowable;
    unshowable.contentType = "application/x-blorvik-unknown";
    unshowable.body = "binary";
    server.setAnswer("/files/blob.bin", unshowable);
    root = platform::View::create(platform::Rect(0, 0, 320, 300));
    window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_default_size(window, 320, 300);
    gtk_window_set_child(window, static_cast<GtkWidget*>(root->peer()->toolkitHandle()));
    gtk_window_present(window);
    filesBefore = savedFiles();
    windowsBefore = toplevels();
  }
  void TearDown() override {
    // A dialog a failed test left would take the next test's input.
    while (GtkWindow* dialog = toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG)) {
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
      RunLoop::main().runFor(0.2);
      if (toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG) == dialog) gtk_window_destroy(dialog);
    }
    while (GtkWindow* message = toplevelOfType(GTK_TYPE_MESSAGE_DIALOG)) {
      ADD_FAILURE() << "a dialog was left up: " << describeToplevels();
      gtk_window_destroy(message);
    }
    if (page) page->setDelegate(nullptr);
    page.reset();
    gtk_window_set_child(window, nullptr);
    root.reset();
    gtk_window_destroy(window);
  }
  bool runUntil(const std::function<bool()>& condition, double seconds = 15) {
    return RunLoop::main().runUntil(condition, seconds);
  }
  std::optional<std::string> evaluate(const std::string& script) { return PageScript::evaluate(*page, script); }
  bool pageHolds(const std::string& condition) {
    return runUntil([&] { return evaluate(condition) == "true"; });
  }
  // A page of that kind, shown, from the loopback server's origin.
  void open(WebProcessGroup group, const std::string& body) {
    page = WebView::create(platform::Rect(0, 0, 320, 300), group);
    page->setDelegate(&delegate);
    root->addSubview(page);
    page->loadHTMLStringBaseURL("<html><body style='margin:0'>" + body + "</body></html>",
                                URL::create(server.url("/page")));
    ASSERT_TRUE(runUntil([&] { return delegate.finished > 0; }));
  }
  // Waits until the server has answered `path` `count` times, then lets
  // whatever the answer set off run its course.
  void waitForServed(const std::string& path, size_t count = 1) {
    ASSERT_TRUE(runUntil([&] { return server.requestCount(path) >= count; })) << path << " never asked for";
    RunLoop::main().runFor(1.0);
  }
  void expectNoFileSaved() {
    EXPECT_EQ(savedFiles(), filesBefore) << "a file was written";
    EXPECT_EQ(downloads.destinations(), 0) << "a download was given a file";
    EXPECT_EQ(downloads.succeeded(), 0);
  }
  void expectThePageAnswers() { EXPECT_EQ(evaluate("6 * 7"), "42"); }

  adnet::LoopbackServer server;
  Downloads downloads;
  AllowAll delegate;
  GtkWindow* window = nullptr;
  std::shared_ptr<platform::View> root;
  std::shared_ptr<WebView> page;
  std::set<std::string> filesBefore;
  unsigned windowsBefore = 0;
};

// ------------------------------------------------------------- downloads

TEST_F(PageCapabilitiesWindowTest, AnAttachmentInAHiddenFrameOfAnAdIsNeverADownload) {
  open(WebProcessGroup::Ads, std::string("<iframe style='display:none' src='") + kAttachment + "'></iframe>");
  waitForServed(kAttachment);
  EXPECT_EQ(downloads.started(), 0);
  expectNoFileSaved();
}

TEST_F(PageCapabilitiesWindowTest, AnAnswerWebKitCannotShowInAFrameOfAnAdIsNeverADownload) {
  open(WebProcessGroup::Ads, "<iframe width=10 height=10 src='/files/blob.bin'></iframe>");
  waitForServed("/files/blob.bin");
  EXPECT_EQ(downloads.started(), 0);
  expectNoFileSaved();
}

TEST_F(PageCapabilitiesWindowTest, AnAdMovingItselfToAnAttachmentSavesNothingAndStays) {
  open(WebProcessGroup::Ads, "<p>ad</p>");
  evaluate(std::string("location = '") + kAttachment + "'; 0");
  waitForServed(kAttachment);
  EXPECT_EQ(downloads.started(), 0);
  expectNoFileSaved();
  EXPECT_EQ(evaluate("location.pathname"), "/page");
  expectThePageAnswers();
}

TEST_F(PageCapabilitiesWindowTest, ALinkWithDownloadInAnAdSavesNothingEvenForARealClick) {
  open(WebProcessGroup::Ads, std::string("<a id='save' download='update.sh' href='") + kAttachment +
                                 "' style='display:block;width:200px;height:60px'>save</a>");
  evaluate("document.getElementById('save').click(); 0");
  waitForServed(kAttachment);
  ASSERT_TRUE(RealInput::clickElement(*page, "save"));
  waitForServed(kAttachment, 2);
  EXPECT_EQ(downloads.started(), downloads.failed()) << "every download started was cancelled";
  expectNoFileSaved();
  expectThePageAnswers();
}

TEST_F(PageCapabilitiesWindowTest, ABlobDownloadOfAnAdSavesNothingEvenForARealClick) {
  open(WebProcessGroup::Ads,
       "<button id='save' style='width:200px;height:60px'>save</button><script>"
       "function save(){var a=document.createElement('a');"
       "a.href=URL.createObjectURL(new Blob(['echo pwned'],{type:'application/x-sh'}));a.download='update.sh';"
       "document.body.appendChild(a);a.click();a.remove();window.saves=(window.saves||0)+1;}"
       "document.getElementById('save').onclick=save;save();</script>");
  ASSERT_TRUE(RealInput::clickElement(*page, "save"));
  ASSERT_TRUE(pageHolds("window.saves === 2"));
  RunLoop::main().runFor(1.0);
  EXPECT_EQ(downloads.started(), downloads.failed()) << "every download started was cancelled";
  expectNoFileSaved();
}

TEST_F(PageCapabilitiesWindowTest, ABrowserPageSavesNothingWithoutAClick) {
  open(WebProcessGroup::Browsing, std::string("<a id='save' download='update.sh' href='") + kAttachment +
                                      "'>save</a><iframe style='display:none' src='" + kAttachment + "'></iframe>");
  waitForServed(kAttachment);
  evaluate("document.getElementById('save').click(); 0");
  waitForServed(kAttachment, 2);
  EXPECT_EQ(downloads.started(), downloads.failed());
  EXPECT_EQ(toplevels(), windowsBefore) << "no dialog";
  expectNoFileSaved();
}

// The user's click asks where to save; closing the dialog saves nothing.
TEST_F(PageCapabilitiesWindowTest, ABrowserPageClickedSavesOnlyWhereTheUserChooses) {
  open(WebProcessGroup::Browsing, std::string("<a id='save' href='") + kAttachment +
                                      "' style='display:block;width:200px;height:60px'>save</a>");
  ASSERT_TRUE(RealInput::clickElement(*page, "save"));
  ASSERT_TRUE(runUntil([&] { return toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG) != nullptr; }))
      << "no save dialog";
  EXPECT_EQ(downloads.started(), 1);
  EXPECT_EQ(downloads.destinations(), 0) << "nothing is written before the user chooses";
  // As a user would, once the dialog shows its folder (closed while it
  // reads it, the toolkit's chooser reports the cancelled read in a dialog of its own).
  RunLoop::main().runFor(0.5);
  gtk_dialog_response(GTK_DIALOG(toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG)), GTK_RESPONSE_CANCEL);
  ASSERT_TRUE(runUntil([&] { return downloads.failed() == 1; })) << "the download was not cancelled";
  EXPECT_EQ(toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG), nullptr);
  expectNoFileSaved();
}

TEST_F(PageCapabilitiesWindowTest, ABrowserPageClickedSavesToTheFileTheUserChose) {
  open(WebProcessGroup::Browsing, std::string("<a id='save' href='") + kAttachment +
                                      "' style='display:block;width:200px;height:60px'>save</a>");
  ASSERT_TRUE(RealInput::clickElement(*page, "save"));
  ASSERT_TRUE(runUntil([&] { return toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG) != nullptr; }));
  auto* chooser = GTK_FILE_CHOOSER(toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG));
  const fs::path chosen = fs::path(g_get_home_dir()) / "chosen" / "kept.sh";
  fs::create_directories(chosen.parent_path());
  // As a user types it: the whole path in the name field.
  gtk_file_chooser_set_current_name(chooser, chosen.c_str());
  RunLoop::main().runFor(0.5);  // the dialog reads the folder before it accepts a name in it
  gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  ASSERT_TRUE(runUntil([&] { return downloads.succeeded() == 1; }))
      << "the download did not finish: " << downloads.started() << " started, " << downloads.failed() << " failed, "
      << downloads.destinations() << " given a file; dialog "
      << (toplevelOfType(GTK_TYPE_FILE_CHOOSER_DIALOG) ? "still up" : "gone");
  EXPECT_TRUE(fs::exists(chosen));
  fs::remove_all(chosen.parent_path());
}

// ----------------------------------------------------------------- print

TEST_F(PageCapabilitiesWindowTest, AnAdsPrintOpensNoDialogWithOrWithoutAClick) {
  open(WebProcessGroup::Ads,
       "<button id='print' style='width:200px;height:60px' onclick='try{window.print();}finally{window.prints++;}'>"
       "print</button>"
       "<script>window.prints=0;window.print();window.prints++;</script>");
  ASSERT_TRUE(pageHolds("window.prints === 1"));
  ASSERT_TRUE(RealInput::clickElement(*page, "print"));
  ASSERT_TRUE(pageHolds("window.prints === 2")) << evaluate("window.prints").value_or("") << describeToplevels();
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(toplevels(), windowsBefore) << "a dialog opened";
  expectThePageAnswers();
}

TEST_F(PageCapabilitiesWindowTest, ABrowserPagesPrintWithoutAClickOpensNoDialog) {
  open(WebProcessGroup::Browsing, "<script>window.print();window.printed=true;</script>");
  ASSERT_TRUE(pageHolds("window.printed === true"));
  RunLoop::main().runFor(0.5);
  EXPECT_EQ(toplevels(), windowsBefore) << "a dialog opened";
  expectThePageAnswers();
}

// ----------------------------------------------------------- permissions

// Asks for every permission when called, and writes each answer down.
constexpr const char* kAsker =
    "<button id='ask' style='width:300px;height:100px'>ask</button><script>"
    "window.answers={};function note(k,v){answers[k]=String(v);}"
    "function ask(){"
    "try{Notification.requestPermission().then(function(p){note('notification',p);},"
    "function(){note('notification','rejected');});}catch(e){note('notification','absent');}"
    "try{navigator.geolocation.getCurrentPosition(function(){note('geolocation','granted');},"
    "function(e){note('geolocation','denied '+e.code);});}catch(e){note('geolocation','absent');}"
    "try{navigator.mediaDevices.getUserMedia({video:true,audio:true}).then(function(){note('media','granted');},"
    "function(e){note('media','rejected');});}catch(e){note('media','absent');}"
    "try{navigator.clipboard.readText().then(function(){note('clipboard','granted');},"
    "function(){note('clipboard','rejected');});}catch(e){note('clipboard','absent');}"
    "try{document.documentElement.requestFullscreen().then(function(){note('fullscreen','granted');},"
    "function(){note('fullscreen','rejected');});}catch(e){note('fullscreen','absent');}"
    "try{document.addEventListener('pointerlockchange',function(){note('pointer','granted');});"
    "document.addEventListener('pointerlockerror',function(){note('pointer','refused');});"
    "var p=document.body.requestPointerLock();if(p&&p.catch)p.catch(function(){note('pointer','refused');});"
    "}catch(e){note('pointer','absent');}"
    "}document.getElementById('ask').onclick=ask;</script>";

constexpr const char* kAllAnswered =
    "['notification','geolocation','media','clipboard','fullscreen'].every(function(k){return k in answers;})";

class PermissionsTest : public PageCapabilitiesWindowTest {
 protected:
  // Each answer the page got; none may be a grant.
  void expectEveryRefused(const char* when) {
    SCOPED_TRACE(when);
    SCOPED_TRACE(evaluate("JSON.stringify(answers)").value_or(""));
    ASSERT_TRUE(pageHolds(kAllAnswered)) << evaluate("JSON.stringify(answers)").value_or("");
    RunLoop::main().runFor(0.5);  // the pointer's answer, if any, comes as an event
    for (const char* kind : {"notification", "geolocation", "media", "clipboard", "fullscreen", "pointer"}) {
      const auto answer = evaluate(std::string("answers['") + kind + "'] || 'unanswered'");
      EXPECT_NE(answer, "granted") << kind;
    }
    EXPECT_EQ(evaluate("answers.notification"), "denied");
    EXPECT_EQ(evaluate("Notification.permission"), "denied");
    EXPECT_EQ(evaluate("answers.geolocation"), "denied 1") << "PERMISSION_DENIED";
    // An ad page has no pointer lock at all (undefined): not locked either way.
    EXPECT_EQ(evaluate("!document.fullscreenElement && !document.pointerLockElement"), "true")
        << evaluate("String(document.fullscreenElement) + ' ' + String(document.pointerLockElement)").value_or("");
    EXPECT_EQ(toplevels(), windowsBefore);
  }
  void askWithoutAndWithAClick() {
    evaluate("ask(); 0");
    expectEveryRefused("without a click");
    evaluate("answers = {}; 0");
    ASSERT_TRUE(RealInput::clickElement(*page, "ask"));
    expectEveryRefused("with a real click");
  }
};

TEST_F(PermissionsTest, AnAdPageIsRefusedEveryPermissionWithOrWithoutAClick) {
  open(WebProcessGroup::Ads, kAsker);
  askWithoutAndWithAClick();
}

TEST_F(PermissionsTest, ABrowserPageIsRefusedEveryPermissionWithOrWithoutAClick) {
  open(WebProcessGroup::Browsing, kAsker);
  askWithoutAndWithAClick();
}

// Before a page has asked, WebKit itself answers "prompt" whatever we say
// (its guard against fingerprinting); once the page has asked for its
// location and been refused, the state is ours: denied. Never granted.
TEST_F(PermissionsTest, APermissionsStateIsDeniedOnceAsked) {
  open(WebProcessGroup::Ads,
       "<script>window.states={};function query(){['geolocation','notifications','camera','microphone']"
       ".forEach(function(n){navigator.permissions.query({name:n}).then("
       "function(s){states[n]=s.state;},function(){states[n]='rejected';});});}"
       "window.asked=0;Notification.requestPermission().then(function(){asked++;});"
       "navigator.geolocation.getCurrentPosition(function(){},function(){asked++;});</script>");
  ASSERT_TRUE(pageHolds("window.asked === 2"));
  evaluate("query(); 0");
  ASSERT_TRUE(pageHolds("Object.keys(states).length === 4")) << evaluate("JSON.stringify(states)").value_or("");
  SCOPED_TRACE(evaluate("JSON.stringify(states)").value_or(""));
  EXPECT_EQ(evaluate("states.geolocation"), "denied");
  // Notifications keep WebKit's own "prompt": asked without a click, WebKit
  // refuses by itself, and their state is its store's, not ours.
  EXPECT_EQ(evaluate("JSON.stringify(states).indexOf('granted') < 0"), "true");
}

// ------------------------------------------------------ certificate errors

// No page gets past a certificate nobody vouches for, and the load ends as
// a failure the client hears (not as a page that finished).
TEST_F(PageCapabilitiesWindowTest, APageWhoseCertificateNobodyVouchesForFailsAndTheClientHearsIt) {
  LoopbackTLSServer tls;
  ASSERT_EQ(tls.problem(), "");
  for (const WebProcessGroup group : {WebProcessGroup::Ads, WebProcessGroup::Browsing}) {
    SCOPED_TRACE(group == WebProcessGroup::Ads ? "ad page" : "browser");
    if (page) page->removeFromSuperview();
    page = WebView::create(platform::Rect(0, 0, 320, 300), group);
    page->setDelegate(&delegate);
    root->addSubview(page);
    const int failed = delegate.failed, finished = delegate.finished;
    page->loadRequest(URLRequest(*URL::create(tls.url("/page"))));
    ASSERT_TRUE(runUntil([&] { return delegate.failed > failed; })) << "the client never heard of the failure";
    RunLoop::main().runFor(0.3);
    EXPECT_EQ(delegate.finished, finished) << "the load ended as a page that finished";
  }
}

// ---------------------------------------------------------- context menus

// The stock actions of `menu`'s items in order ("-" for a separator, "[...]"
// for a submenu's).
std::string actionsOf(WebKitContextMenu* menu) {
  std::string text;
  for (GList* node = webkit_context_menu_get_items(menu); node; node = node->next) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(node->data);
    if (!text.empty()) text += " ";
    if (webkit_context_menu_item_is_separator(item)) {
      text += "-";
    } else if (WebKitContextMenu* submenu = webkit_context_menu_item_get_submenu(item)) {
      text += "[" + actionsOf(submenu) + "]";
    } else {
      text += std::to_string(webkit_context_menu_item_get_stock_action(item));
    }
  }
  return text;
}

WebKitContextMenuItem* stock(WebKitContextMenuAction action) {
  return webkit_context_menu_item_new_from_stock_action(action);
}

TEST(PageItemsTest, TheBrowsersMenuKeepsOnlyWhatActsOnThePage) {
  WebKitContextMenu* menu = webkit_context_menu_new();
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK));
  webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK));
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW));
  webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK));
  webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_COPY));
  WebKitContextMenu* submenu = webkit_context_menu_new();
  webkit_context_menu_append(submenu, stock(WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW));
  webkit_context_menu_append(submenu, stock(WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PLAY));
  webkit_context_menu_append(menu, webkit_context_menu_item_new_with_submenu("Media", submenu));
  webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT));
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_ENTER_VIDEO_FULLSCREEN));
  EXPECT_TRUE(platform::gtk::GtkPageCapabilities::keepPageItems(menu));
  EXPECT_EQ(actionsOf(menu), std::to_string(WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK) + " - " +
                                 std::to_string(WEBKIT_CONTEXT_MENU_ACTION_COPY) + " [" +
                                 std::to_string(WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PLAY) + "]");
  g_object_unref(menu);
}

TEST(PageItemsTest, AMenuOfNothingButWhatLeavesThePageIsNoMenu) {
  WebKitContextMenu* menu = webkit_context_menu_new();
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_AUDIO_TO_DISK));
  webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  webkit_context_menu_append(menu, stock(WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW));
  GSimpleAction* action = g_simple_action_new("extension", nullptr);
  webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action), "Extension", nullptr));
  EXPECT_FALSE(platform::gtk::GtkPageCapabilities::keepPageItems(menu));
  EXPECT_EQ(actionsOf(menu), "");
  g_object_unref(action);
  g_object_unref(menu);
}

}  // namespace
