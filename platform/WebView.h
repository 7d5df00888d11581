// A view that shows web content. Loads HTML text with a base URL or a
// request, asks its delegate about every navigation a page attempts, tells
// it when a load starts, finishes or fails, and evaluates scripts in the
// page. Main thread only.
//
// The delegate is not retained: its owner clears it before it goes. All
// callbacks arrive later, on the run loop; one that arrives after the web
// view has gone is dropped (its peer holds it weakly).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DeferredCall.h"
#include "platform/Error.h"
#include "platform/URLRequest.h"
#include "platform/View.h"

namespace platform {

// The numbers are fixed: ad code reports them.
enum class NavigationType : std::int32_t {
  LinkClicked = 0,
  FormSubmitted = 1,
  BackForward = 2,
  Reload = 3,
  FormResubmitted = 4,
  Other = 5,
};

// What the toolkit tells of a navigation besides its request and type.
struct NavigationAction {
  // The toolkit says a user's gesture started it. A script the client
  // itself evaluates in a page runs as if the user had acted, and the
  // toolkit marks every act of a page for a while after one click, so this
  // flag alone never proves a user's click: see WebView::hasUserActivation.
  bool userGesture = false;
  // The page asked for a new window (a link with a target, window.open).
  bool newWindow = false;
};

// A dialog a page's script asks for (alert, confirm, prompt) or that a page
// asks for before it is left.
enum class PageDialog { Alert, Confirm, Prompt, BeforeUnload };

// Which pages a web view's page process serves. The ad pages share one
// process; a browsing page has one of its own, so what blocks it (a site's
// dialog waiting for its user, a script that never returns) blocks no other
// page.
enum class WebProcessGroup {
  Ads,       // ad pages: they show no dialogs
  Browsing,  // the sites a user goes to
};

// Why a web view's page process ended under it.
enum class WebProcessTermination {
  Crashed,
  ExceededMemoryLimit,
  // WebView::terminateWebProcess (a page that stopped answering).
  Terminated,
};

class WebView;

class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  // False keeps the page where it is. A navigation for a new window that
  // the delegate allows loads in this web view: there are no other windows.
  virtual bool webViewShouldStartLoadWithRequestNavigationType(WebView&, const URLRequest&, NavigationType) {
    return true;
  }
  virtual void webViewDidStartLoad(WebView&) {}
  virtual void webViewDidFinishLoad(WebView&) {}
  virtual void webViewDidFailLoadWithError(WebView&, const Error&) {}
  // A navigation the delegate refused never starts and reports no load:
  // this says so, once the web view no longer counts it as loading.
  virtual void webViewDidRefuseLoad(WebView&) {}
  // The page's history changed without a load (a "#fragment" link,
  // history.pushState): canGoBack and canGoForward may answer otherwise.
  virtual void webViewDidChangeHistory(WebView&) {}
  // The page's title changed (see WebView::title).
  virtual void webViewDidChangeTitle(WebView&) {}
  // Asked once the answer of an allowed load that would replace the page
  // shown (the main frame's document) has arrived, before it does; false
  // keeps the page where it is. A load the delegate allowed may belong to a
  // subframe, which the toolkit does not say when it asks first. The URL is
  // nullopt when the toolkit's text is none we can read.
  virtual bool webViewShouldCommitMainFrameLoad(WebView&, const std::optional<URL>&) { return true; }
  // False answers the dialog at once as dismissed (an alert closed, a
  // confirm and a prompt cancelled, a page left); true shows it over this
  // web view alone, as a browser shows a site's dialog.
  virtual bool webViewShouldShowPageDialog(WebView&, PageDialog, const std::string& /*message*/) { return true; }
  // The page's process stopped answering: a probe has waited past its
  // deadline (with no dialog of its own up; see setResponsivenessProbe).
  // Nothing is done unless the delegate ends it (terminateWebProcess).
  virtual void webViewWebProcessDidBecomeUnresponsive(WebView&) {}
  // The page's process has gone: the web view shows nothing until its next
  // load, which starts a new one. Once per process.
  virtual void webViewWebProcessDidTerminate(WebView&, WebProcessTermination) {}
};

// What a web view's peer calls back.
class WebViewClient {
 public:
  virtual ~WebViewClient() = default;
  virtual bool peerShouldStartLoad(const URLRequest& request, NavigationType type, const NavigationAction& action) = 0;
  virtual bool peerShouldCommitMainFrameLoad(const std::optional<URL>& url) = 0;
  // A user activated the web view: a real pointer press and its release
  // (or a touch and its end) on its widget, or Enter or Space while it has
  // the focus. No other input activates.
  virtual void peerDidReceiveUserActivation() = 0;
  // Uses the web view's activation for an act the toolkit asks about (a
  // download, a permission, printing): true once per activation.
  virtual bool peerConsumeUserActivation() = 0;
  virtual void peerDidStartLoad() = 0;
  virtual void peerDidFinishLoad() = 0;
  virtual void peerDidFailLoad(const Error& error) = 0;
  // The page's history changed without a load: a "#fragment" link,
  // history.pushState.
  virtual void peerDidChangeHistory() = 0;
  virtual void peerDidChangeTitle() = 0;
  virtual bool peerShouldShowPageDialog(PageDialog dialog, const std::string& message) = 0;
  virtual void peerWebProcessDidBecomeUnresponsive() = 0;
  virtual void peerWebProcessDidTerminate(WebProcessTermination reason) = 0;
  // Counts the client's load calls: what a page asked before the last one
  // belongs to a page that the client has replaced.
  virtual std::uint64_t loadGeneration() const = 0;
};

// The toolkit's side of a web view.
class WebViewPeer : public ViewPeer {
 public:
  using ScriptResult = std::function<void(std::optional<std::string>)>;
  // The longest text a script's value is read as, in UTF-16 code units
  // (JavaScript's length): the value is the page's to choose.
  static constexpr size_t kMaximumScriptResultLength = 256 * 1024;
  virtual void loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) = 0;
  virtual void loadRequest(const URLRequest& request) = 0;
  // `done` is called later with the result as text, unless the peer goes
  // first: a string, a number or a boolean as written; undefined, null,
  // an object or a function as the empty text; nullopt when the script
  // failed or its string is longer than kMaximumScriptResultLength (never
  // read). Without `done` the result is not read at all.
  virtual void evaluateJavaScript(const std::string& script, ScriptResult done) = 0;
  // Asks the page's process for an empty answer, later, the same way; the
  // page sees nothing of it.
  virtual void probe(std::function<void()> answered) = 0;
  // Runs `source` at the start of every main-frame document this web view
  // loads from now on, in the page's world, before the page's own scripts;
  // never in a subframe. Kept for the web view's life.
  virtual void addMainFrameScript(const std::string& source) = 0;
  // The requests this web view's pages make for a script whose URL's path
  // ends in "/" + `fileName` (any host, any query) are never sent: each
  // fails at once, as a blocked load does. Kept for the web view's life.
  virtual void blockScriptsNamed(const std::string& fileName) = 0;
  virtual void goBack() = 0;
  virtual void goForward() = 0;
  virtual void reload() = 0;
  virtual void stopLoading() = 0;
  // Ends the page's process (it reports its end as Terminated).
  virtual void terminateWebProcess() = 0;
  // See WebView::setMediaPlaybackRequiresUserAction.
  virtual void setMediaPlaybackRequiresUserAction(bool required) = 0;
  virtual bool canGoBack() const = 0;
  virtual bool canGoForward() const = 0;
  virtual bool isLoading() const = 0;
  // The URL of the page shown (the base URL of loaded HTML text).
  virtual std::optional<URL> currentURL() const = 0;
  // The page's title as the page set it, or empty.
  virtual std::string title() const = 0;
};

class WebView : public View, public WebViewClient {
 public:
  // How long a user's activation lasts: a page's handler of the click, or
  // the link it follows, acts within it.
  static constexpr double kUserActivationSeconds = 1.0;
  // A navigation to a longer URL text is refused before it is read: no
  // link needs one, and reading costs the main loop.
  static constexpr size_t kMaximumURLBytes = 64 * 1024;

  static std::shared_ptr<WebView> create(const Rect& frame, WebProcessGroup group = WebProcessGroup::Ads);
  // White until told otherwise, as a page expects when it sets no colour.
  explicit WebView(const Rect& frame, WebProcessGroup group = WebProcessGroup::Ads) : View(frame), group_(group) {
    setBackgroundColor(Color::white());
  }

  WebViewDelegate* delegate() const { return delegate_; }
  void setDelegate(WebViewDelegate* delegate) { delegate_ = delegate; }

  void loadHTMLStringBaseURL(const std::string& html, const std::optional<URL>& baseURL);
  void loadRequest(const URLRequest& request);
  // The result arrives on the run loop, never inside this call; never once
  // the web view has gone, nor once another load has been asked for (the
  // page it came from has been replaced). A script evaluated here lends the
  // page no user's gesture: it ends the one the last input gave.
  void evaluateJavaScript(const std::string& script, WebViewPeer::ScriptResult done = {});
  // `statements` as a script whose value is always undefined, whatever the
  // page's code they call returns or throws: a script the client runs for
  // its own ends (an event to the page's handler) brings nothing of the
  // page's back across to this process.
  static std::string scriptWithoutValue(const std::string& statements);
  // See WebViewPeer::addMainFrameScript. What a main-frame script alone
  // holds, no subframe's document has (not even a same-origin one's own
  // scripts, though those may call into the main frame's).
  void addMainFrameScript(const std::string& source);
  // `source` stands in for the script that a main-frame document of this
  // web view loads by the file name `fileName` (letters, digits, ".", "-"
  // and "_"), from any path: that script is never fetched
  // (WebViewPeer::blockScriptsNamed); the first time the page asks for it,
  // `source` runs in the page's world, and the page's script element then
  // reports it loaded, as if it had come. Kept for the web view's life.
  void addScriptStandIn(const std::string& fileName, const std::string& source);
  // The main-frame script that does the standing in.
  static std::string scriptStandIn(const std::string& fileName, const std::string& source);
  void goBack();
  void goForward();
  void reload();
  void stopLoading();
  // Ends the page's process, as for a page that stopped answering; the
  // delegate hears of its end. The next load starts a new one.
  void terminateWebProcess();
  // Whether the page's audio and video wait for a user's gesture to play
  // (the default): an ad never plays by itself. A screen the user opened
  // with a click turns it off for its page.
  void setMediaPlaybackRequiresUserAction(bool required);
  // Every `intervalSeconds` (0: never, the default), asks whether the page's
  // process still answers: one that has not answered within
  // `deadlineSeconds` of the machine's clock, counted only while this
  // application's loop kept turning (a stall of our own is no silence of
  // the page's), is unresponsive. A page that hangs while nobody waits on it
  // is found so. The toolkit's own report of a hang only sends a probe at
  // once. Lends and ends no gesture.
  void setResponsivenessProbe(double intervalSeconds, double deadlineSeconds);
  // How often a probe's wait is checked, at most, and a check later than
  // it should be by more than this is a stall of our own loop.
  static constexpr double kProbeStepSeconds = 0.5;
  static constexpr double kLoopStallSeconds = 0.25;
  bool canGoBack() const;
  bool canGoForward() const;
  // True from a load call on: the toolkit reports a load only once it has
  // started, which may be after the caller looks.
  bool isLoading() const;
  std::optional<URL> currentURL() const;
  // The page's title as assistive technologies may read it out: pages are
  // untrusted, so it is one line of at most kMaximumTitleCharacters.
  std::string title() const;
  static constexpr size_t kMaximumTitleCharacters = 80;
  // `text` so bounded: controls and runs of white space become one space,
  // ends trimmed, cut at a character's boundary with an ellipsis.
  static std::string boundedTitle(std::string_view text);

  // The facts of the navigation whose decision is being asked for; outside
  // a decision, none (no gesture).
  const NavigationAction& navigationAction() const { return navigationAction_; }
  // User activation, as browsers define it: one real activation of this
  // web view (see WebViewClient::peerDidReceiveUserActivation) lends its
  // page one act for the user, for kUserActivationSeconds. The first act
  // that uses it consumes it; a script the client evaluates in the page
  // ends it (toolkits run those as if the user had acted).
  //
  // Whether an unused activation less than kUserActivationSeconds old is
  // held.
  bool hasUserActivation() const;
  // Takes the activation for one act: true once per activation.
  bool consumeUserActivation();
  // Counts the activations so far: tells one from the next.
  std::uint64_t userActivationCount() const { return userActivationCount_; }
  // Seconds since the last activation (used or not); nullopt as above.
  std::optional<double> secondsSinceUserActivation() const;
  // The toolkit's real activation, for peers and for tests that play a user.
  void noteUserActivation();

  bool peerShouldStartLoad(const URLRequest& request, NavigationType type, const NavigationAction& action) override;
  bool peerShouldCommitMainFrameLoad(const std::optional<URL>& url) override;
  void peerDidReceiveUserActivation() override { noteUserActivation(); }
  bool peerConsumeUserActivation() override { return consumeUserActivation(); }
  void peerDidStartLoad() override;
  void peerDidFinishLoad() override;
  void peerDidFailLoad(const Error& error) override;
  void peerDidChangeHistory() override;
  void peerDidChangeTitle() override;
  bool peerShouldShowPageDialog(PageDialog dialog, const std::string& message) override;
  void peerWebProcessDidBecomeUnresponsive() override;
  void peerWebProcessDidTerminate(WebProcessTermination reason) override;
  std::uint64_t loadGeneration() const override { return loadGeneration_; }

 protected:
  std::unique_ptr<ViewPeer> makePeer(PeerFactory& peers) override;

 private:
  WebViewDelegate* delegate_ = nullptr;
  WebProcessGroup group_;
  WebViewPeer* webPeer_ = nullptr;  // the view's peer, typed
  bool loadAsked_ = false;           // a load was asked for and has not yet started
  std::uint64_t loadGeneration_ = 0;  // load calls so far
  NavigationAction navigationAction_;
  std::optional<double> userActivation_;  // on the run loop's clock
  bool userActivationConsumed_ = false;
  std::uint64_t userActivationCount_ = 0;
  void probeResponsiveness();
  void sendProbe();
  void checkProbeDeadline();
  void reportUnresponsive();
  double probeInterval_ = 0, probeDeadlineSeconds_ = 0;
  DeferredCall probe_, probeDeadline_;
  // When the probe still unanswered was sent (run loop's clock).
  std::optional<double> probeAskedAt_;
  double probeLastCheck_ = 0;  // the machine's clock at the last check of its wait
  double probeWaited_ = 0;     // of it, the time our loop kept turning
  bool unresponsiveReported_ = false;  // for the current page process
  int processGeneration_ = 0;          // page processes ended so far
  // A dialog is up for the user: the page's scripts wait for it, and the
  // probe's deadline with them, until the page answers again.
  bool pageDialogShown_ = false;
};

}  // namespace platform
