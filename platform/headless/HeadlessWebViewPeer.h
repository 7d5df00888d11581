// A scripted web view for tests: records what it was asked to load and
// evaluate, and lets a test play the page's part, driving the web view's
// client as WebKit would (navigation decisions, load events, script
// results). Nothing reaches a client that has gone.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/WebView.h"
#include "platform/headless/HeadlessPeer.h"

namespace platform {

class HeadlessWebViewPeer final : public HeadlessPeer<WebViewPeer> {
 public:
  struct Load {
    std::string html;                // for loadHTMLString
    std::optional<URL> baseURL;      // for loadHTMLString
    std::optional<URLRequest> request;  // for loadRequest
  };
  struct Evaluation {
    std::string script;
    ScriptResult done;
  };

  explicit HeadlessWebViewPeer(std::weak_ptr<WebViewClient> client) : client_(std::move(client)) {}
  ~HeadlessWebViewPeer() override;

  // The headless peer of `view`; null when it has another kind of peer.
  static HeadlessWebViewPeer* of(WebView& view);

  const std::vector<Load>& loads() const { return loads_; }
  const std::vector<Evaluation>& evaluations() const { return evaluations_; }
  std::vector<std::string> evaluatedScripts() const;
  int reloads() const { return reloads_; }
  int stops() const { return stops_; }

  // The page's side. decide answers nullopt when the client has gone.
  std::optional<bool> decide(const URLRequest& request, NavigationType type, const NavigationAction& action = {});
  // A user's press on the page (real input) and the navigation it starts,
  // which the toolkit marks as the user's.
  std::optional<bool> decideByUser(const URLRequest& request, NavigationType type = NavigationType::LinkClicked);
  void pressByUser();
  // The answer of an allowed load for the page's own document has arrived.
  std::optional<bool> commitMainFrame(const std::optional<URL>& url);
  void start();
  void finish();
  void fail(const Error& error);
  // Answers the evaluation at `index`, as the page would, later.
  void completeEvaluation(size_t index, std::optional<std::string> result);
  // The page's dialog; nullopt when the client has gone, else whether the
  // client lets it show.
  std::optional<bool> showDialog(PageDialog dialog, const std::string& message = {});
  // The page's process ends (as WebKit reports it, at once); its scripts
  // never answer, and the next process is not hung.
  void endProcess(WebProcessTermination reason);
  // The toolkit reports that the page's process hangs.
  void reportHang();
  int terminations() const { return terminations_; }
  // The page's history changes without a load (a "#fragment" link).
  void changeHistory(bool canGoBack, bool canGoForward) {
    setHistory(canGoBack, canGoForward);
    if (auto client = client_.lock()) client->peerDidChangeHistory();
  }
  void setHistory(bool canGoBack, bool canGoForward) {
    canGoBack_ = canGoBack;
    canGoForward_ = canGoForward;
  }

  void loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) override;
  void loadRequest(const URLRequest& request) override;
  void evaluateJavaScript(const std::string& script, ScriptResult done) override;
  // Answered on the next turn, unless the page hangs (setHung).
  void probe(std::function<void()> answered) override;
  void setHung(bool hung) { hung_ = hung; }
  void addMainFrameScript(const std::string& source) override { mainFrameScripts_.push_back(source); }
  const std::vector<std::string>& mainFrameScripts() const { return mainFrameScripts_; }
  void blockScriptsNamed(const std::string& fileName) override { blockedScripts_.push_back(fileName); }
  const std::vector<std::string>& blockedScripts() const { return blockedScripts_; }
  int probes() const { return probes_; }
  void goBack() override { ++backs_; }
  void goForward() override { ++forwards_; }
  void reload() override { ++reloads_; }
  void stopLoading() override {
    ++stops_;
    loading_ = false;
  }
  void terminateWebProcess() override {
    ++terminations_;
    endProcess(WebProcessTermination::Terminated);
  }
  void setMediaPlaybackRequiresUserAction(bool) override {}
  bool canGoBack() const override { return canGoBack_; }
  bool canGoForward() const override { return canGoForward_; }
  bool isLoading() const override { return loading_; }
  std::optional<URL> currentURL() const override { return currentURL_; }
  std::string title() const override { return title_; }
  // The page sets its title.
  void changeTitle(std::string title) {
    title_ = std::move(title);
    if (auto client = client_.lock()) client->peerDidChangeTitle();
  }
  // The page navigated on its own (a followed link).
  void setCurrentURL(std::optional<URL> url) { currentURL_ = std::move(url); }
  int backs() const { return backs_; }
  int forwards() const { return forwards_; }

 private:
  std::weak_ptr<WebViewClient> client_;
  std::vector<Load> loads_;
  std::vector<Evaluation> evaluations_;
  std::vector<std::string> mainFrameScripts_;
  std::vector<std::string> blockedScripts_;
  std::optional<URL> currentURL_;
  std::string title_;
  bool canGoBack_ = false, canGoForward_ = false, loading_ = false, hung_ = false;
  int probes_ = 0;
  int backs_ = 0, forwards_ = 0, reloads_ = 0, stops_ = 0, terminations_ = 0;
  // Names the results still to be delivered; cancelled when the peer goes.
  std::shared_ptr<int> pending_ = std::make_shared<int>(0);
};

}  // namespace platform
