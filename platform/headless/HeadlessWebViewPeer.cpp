#include "platform/headless/HeadlessWebViewPeer.h"

#include "platform/RunLoop.h"

namespace platform {

HeadlessWebViewPeer::~HeadlessWebViewPeer() { RunLoop::main().cancelPerformRequests(pending_.get()); }

HeadlessWebViewPeer* HeadlessWebViewPeer::of(WebView& view) {
  return dynamic_cast<HeadlessWebViewPeer*>(view.peer());
}

std::vector<std::string> HeadlessWebViewPeer::evaluatedScripts() const {
  std::vector<std::string> scripts;
  for (const auto& evaluation : evaluations_) scripts.push_back(evaluation.script);
  return scripts;
}

std::optional<bool> HeadlessWebViewPeer::decide(const URLRequest& request, NavigationType type,
                                                const NavigationAction& action) {
  auto client = client_.lock();
  if (!client) return std::nullopt;
  return client->peerShouldStartLoad(request, type, action);
}

std::optional<bool> HeadlessWebViewPeer::decideByUser(const URLRequest& request, NavigationType type) {
  pressByUser();
  return decide(request, type, NavigationAction{.userGesture = true});
}

void HeadlessWebViewPeer::pressByUser() {
  if (auto client = client_.lock()) client->peerDidReceiveUserActivation();
}

std::optional<bool> HeadlessWebViewPeer::commitMainFrame(const std::optional<URL>& url) {
  auto client = client_.lock();
  if (!client) return std::nullopt;
  return client->peerShouldCommitMainFrameLoad(url);
}

void HeadlessWebViewPeer::start() {
  loading_ = true;
  if (auto client = client_.lock()) client->peerDidStartLoad();
}

void HeadlessWebViewPeer::finish() {
  loading_ = false;
  if (auto client = client_.lock()) client->peerDidFinishLoad();
}

void HeadlessWebViewPeer::fail(const Error& error) {
  loading_ = false;
  if (auto client = client_.lock()) client->peerDidFailLoad(error);
}

std::optional<bool> HeadlessWebViewPeer::showDialog(PageDialog dialog, const std::string& message) {
  auto client = client_.lock();
  if (!client) return std::nullopt;
  return client->peerShouldShowPageDialog(dialog, message);
}

void HeadlessWebViewPeer::endProcess(WebProcessTermination reason) {
  loading_ = false;
  hung_ = false;  // the next process is a new one
  for (auto& evaluation : evaluations_) evaluation.done = nullptr;
  if (auto client = client_.lock()) client->peerWebProcessDidTerminate(reason);
}

void HeadlessWebViewPeer::reportHang() {
  if (auto client = client_.lock()) client->peerWebProcessDidBecomeUnresponsive();
}

void HeadlessWebViewPeer::completeEvaluation(size_t index, std::optional<std::string> result) {
  if (index >= evaluations_.size() || !evaluations_[index].done) return;
  auto done = std::move(evaluations_[index].done);
  // Script results arrive on the run loop, as WebKit's do.
  RunLoop::main().performAfterDelay(pending_, 0, [done = std::move(done), result = std::move(result)] { done(result); });
}

void HeadlessWebViewPeer::loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) {
  loads_.push_back(Load{html, baseURL, std::nullopt});
  currentURL_ = baseURL;
}

void HeadlessWebViewPeer::loadRequest(const URLRequest& request) {
  loads_.push_back(Load{{}, std::nullopt, request});
  currentURL_ = request.url();
}

void HeadlessWebViewPeer::probe(std::function<void()> answered) {
  ++probes_;
  if (hung_) return;
  RunLoop::main().performAfterDelay(pending_, 0, std::move(answered));
}

void HeadlessWebViewPeer::evaluateJavaScript(const std::string& script, ScriptResult done) {
  evaluations_.push_back(Evaluation{script, std::move(done)});
}

}  // namespace platform
