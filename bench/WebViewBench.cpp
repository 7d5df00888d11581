// Real WebKit under a display (bench/run.sh starts Xvfb when there is
// none): the time to create a web view, load a small HTML string and hear
// its finish, and the round trip of an ad message from a page's navigation
// to the centre's observer. Figures only: the first run apart, then the
// median of the rest.
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "ads/content/GADNotificationCenter.h"
#include "bench/RunFigures.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "platform/gtk/GtkToolkit.h"

namespace {

using Clock = RunFigures::Clock;


// Refuses message URLs and posts them, as the ad web views' delegate does.
class Delegate : public platform::WebViewDelegate {
 public:
  bool finished = false;
  bool webViewShouldStartLoadWithRequestNavigationType(platform::WebView&, const platform::URLRequest& request,
                                                       platform::NavigationType) override {
    if (!GADNotification::isNotificationURL(request.url())) return true;
    GADNotificationCenter::defaultCenter().postNotificationFromURLObjectWithDelay(request.url(), nullptr, 0);
    return false;
  }
  void webViewDidFinishLoad(platform::WebView&) override { finished = true; }
};


}  // namespace

int main() {
  platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes);
  auto& loop = platform::RunLoop::main();
  auto root = platform::View::create(platform::Rect(0, 0, 320, 480));
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  gtk_window_set_child(window, static_cast<GtkWidget*>(root->peer()->toolkitHandle()));
  gtk_window_present(window);
  const auto base = platform::URL::create("http://127.0.0.1:8642/ad");
  constexpr int kRuns = 20;

  std::vector<double> loads;
  for (int i = 0; i < kRuns; ++i) {
    Delegate delegate;
    const auto start = Clock::now();
    auto webView = platform::WebView::create(platform::Rect(0, 430, 320, 50));
    webView->setDelegate(&delegate);
    root->addSubview(webView);
    webView->loadHTMLStringBaseURL("<html><body><p>ad</p></body></html>", base);
    if (!loop.runUntil([&] { return delegate.finished; }, 30)) {
      std::fprintf(stderr, "a load never finished\n");
      return 1;
    }
    loads.push_back(RunFigures::millisecondsSince(start));
    webView->setDelegate(nullptr);
    webView->removeFromSuperview();
  }
  RunFigures::report("create web view, load HTML, finish", loads);

  Delegate delegate;
  auto webView = platform::WebView::create(platform::Rect(0, 430, 320, 50));
  webView->setDelegate(&delegate);
  root->addSubview(webView);
  webView->loadHTMLStringBaseURL("<html><body><p>ad</p></body></html>", base);
  loop.runUntil([&] { return delegate.finished; }, 30);
  int heard = 0;
  Clock::time_point sent;
  std::vector<double> trips;
  GADNotificationCenter::defaultCenter().addObserver(&trips, "ping", nullptr, [&](const platform::Notification&) {
    trips.push_back(RunFigures::millisecondsSince(sent));
    ++heard;
  });
  for (int i = 0; i < kRuns; ++i) {
    sent = Clock::now();
    webView->evaluateJavaScript("location.href = 'gmsg://ads.example.test/ping?n=" + std::to_string(i) + "';");
    if (!loop.runUntil([&] { return heard > i; }, 30)) {
      std::fprintf(stderr, "a message never arrived\n");
      return 1;
    }
  }
  RunFigures::report("message: page navigation to observer", trips);
  GADNotificationCenter::defaultCenter().removeObserver(&trips);
  webView->setDelegate(nullptr);
  gtk_window_set_child(window, nullptr);
  gtk_window_destroy(window);
  return 0;
}
