// The floor under an ad load: bare WebKitGTK and libsoup doing an ad's work
// with nothing of the ad client around them. A hidden web view runs the
// sandbox's core script, whose answer is a message URL naming the ad; the
// sandbox's ad HTML is fetched from loopback with libsoup; a visible
// 320 x 50 web view loads it; the time runs from the hidden page's load to
// the visible one's finish. The same script, server and creative as the
// banner's, so the two figures differ by the ad client alone.
// Three ways, 21 loads each (first apart, then median and p90):
//  - a new pair of web views for each load;
//  - the same two web views kept between loads;
//  - a new pair for each load, related to a first view so they share its
//    web process.
// And a warm web view loading the sandbox's landing page, and the ad's click
// URL (the click server's redirect to that page): the floor under a click's
// landing page in the in-app browser.
// Figures only; bench/run.sh runs it beside ad_load_bench so their figures
// are read as ratios of one run.
#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "adnet/CoreScript.h"
#include "bench/RunFigures.h"

namespace {

using Clock = RunFigures::Clock;



struct Load {
  GtkWidget* box = nullptr;
  WebKitWebView* hidden = nullptr;
  WebKitWebView* shown = nullptr;
  SoupSession* session = nullptr;
  std::string baseURL;  // the ad server's: the build page's and the ad's
  bool done = false;
};

// The message URL's "url" item, as the page sent it.
std::string adURLOf(const char* message) {
  GUri* uri = g_uri_parse(message, G_URI_FLAGS_ENCODED_QUERY, nullptr);
  std::string url;
  if (uri && g_uri_get_query(uri)) {
    GHashTable* items = g_uri_parse_params(g_uri_get_query(uri), -1, "&", G_URI_PARAMS_NONE, nullptr);
    if (items) {
      if (auto* value = static_cast<const char*>(g_hash_table_lookup(items, "url"))) url = value;
      g_hash_table_unref(items);
    }
  }
  if (uri) g_uri_unref(uri);
  return url;
}

gboolean onHiddenDecision(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                          gpointer data) {
  auto* load = static_cast<Load*>(data);
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (!g_str_has_prefix(uri, "gmsg:")) return FALSE;
  webkit_policy_decision_ignore(decision);
  SoupMessage* message = soup_message_new("GET", adURLOf(uri).c_str());
  soup_session_send_and_read_async(
      load->session, message, G_PRIORITY_DEFAULT, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* load = static_cast<Load*>(data);
        GBytes* body = soup_session_send_and_read_finish(SOUP_SESSION(source), result, nullptr);
        gsize size = 0;
        const char* bytes = body ? static_cast<const char*>(g_bytes_get_data(body, &size)) : "";
        const std::string html(bytes, size);
        if (body) g_bytes_unref(body);
        webkit_web_view_load_html(load->shown, html.c_str(), load->baseURL.c_str());
      },
      load);
  g_object_unref(message);
  return TRUE;
}

void onShownLoad(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  if (event == WEBKIT_LOAD_FINISHED) static_cast<Load*>(data)->done = true;
}

WebKitWebView* makeView(WebKitWebView* related) {
  if (related) return WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related, nullptr));
  return WEBKIT_WEB_VIEW(webkit_web_view_new());
}

void makePair(Load& load, WebKitWebView* related) {
  load.hidden = makeView(related);
  load.shown = makeView(related);
  gtk_widget_set_size_request(GTK_WIDGET(load.shown), 320, 50);
  gtk_box_append(GTK_BOX(load.box), GTK_WIDGET(load.hidden));
  gtk_widget_set_visible(GTK_WIDGET(load.hidden), FALSE);
  gtk_box_append(GTK_BOX(load.box), GTK_WIDGET(load.shown));
  g_signal_connect(load.hidden, "decide-policy", G_CALLBACK(onHiddenDecision), &load);
  g_signal_connect(load.shown, "load-changed", G_CALLBACK(onShownLoad), &load);
}

void dropPair(Load& load) {
  gtk_box_remove(GTK_BOX(load.box), GTK_WIDGET(load.hidden));
  gtk_box_remove(GTK_BOX(load.box), GTK_WIDGET(load.shown));
  load.hidden = load.shown = nullptr;
}

// The loop turns with nothing to do, as ad_load_bench's does between its
// loads: a load that follows another at once finds the processes busy and
// their caches hot, and takes about 2 ms less than one after a pause.
void idle(double seconds) {
  bool over = false;
  g_timeout_add_once(static_cast<guint>(seconds * 1000), [](gpointer over) { *static_cast<bool*>(over) = true; }, &over);
  while (!over) g_main_context_iteration(nullptr, TRUE);
}

double timeOneLoad(Load& load, const std::string& buildPage) {
  load.done = false;
  const auto start = Clock::now();
  webkit_web_view_load_html(load.hidden, buildPage.c_str(), load.baseURL.c_str());
  while (!load.done) g_main_context_iteration(nullptr, TRUE);
  const double took = RunFigures::millisecondsSince(start);
  idle(0.05);
  return took;
}

}  // namespace

int main() {
  gtk_init();
  adnet::AdNetwork network;
  Load load;
  load.baseURL = network.adServerBaseURL();
  load.session = soup_session_new();
  // The parameters the core script needs, as the banner's request has them.
  const std::string buildPage =
      std::string("<html><head><script>") + adnet::kCoreScript +
      "</script><script>ZOVO_buildAdURL({slotname:'a1b2c3d4e5f6071',ad_frame:{x:0,y:430,w:320,h:50},js:'zovo-sdk-i-v4.1.0'});"
      "</script></head><body></body></html>";
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  load.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_window_set_child(window, load.box);
  gtk_window_present(window);
  constexpr int kRuns = 21;

  std::vector<double> fresh, warm, related;
  for (int i = 0; i < kRuns; ++i) {
    makePair(load, nullptr);
    fresh.push_back(timeOneLoad(load, buildPage));
    dropPair(load);
  }
  makePair(load, nullptr);
  for (int i = 0; i < kRuns; ++i) warm.push_back(timeOneLoad(load, buildPage));
  WebKitWebView* first = load.shown;
  g_object_ref(first);
  dropPair(load);
  for (int i = 0; i < kRuns; ++i) {
    makePair(load, first);
    related.push_back(timeOneLoad(load, buildPage));
    dropPair(load);
  }
  g_object_unref(first);

  // The landing page in a warm web view, as a click's would load.
  WebKitWebView* page = makeView(nullptr);
  gtk_widget_set_size_request(GTK_WIDGET(page), 320, 430);
  gtk_box_append(GTK_BOX(load.box), GTK_WIDGET(page));
  g_signal_connect(page, "load-changed", G_CALLBACK(onShownLoad), &load);
  std::vector<double> landing, throughClick;
  for (int i = 0; i < kRuns; ++i) {
    load.done = false;
    const auto start = Clock::now();
    webkit_web_view_load_uri(page, network.url("/landing?ad=" + std::to_string(i % 4)).c_str());
    while (!load.done) g_main_context_iteration(nullptr, TRUE);
    landing.push_back(RunFigures::millisecondsSince(start));
    idle(0.05);
  }
  for (int i = 0; i < kRuns; ++i) {
    load.done = false;
    const auto start = Clock::now();
    const std::string n = std::to_string(i % 4);
    webkit_web_view_load_uri(page, network.url("/zovo/aclk?ad=" + n + "&ai=AI" + n).c_str());
    while (!load.done) g_main_context_iteration(nullptr, TRUE);
    throughClick.push_back(RunFigures::millisecondsSince(start));
    idle(0.05);
  }
  gtk_box_remove(GTK_BOX(load.box), GTK_WIDGET(page));

  RunFigures::report("floor: a new pair of web views per load", fresh);
  RunFigures::report("floor: the same two web views kept (warm)", warm);
  RunFigures::report("floor: a new related pair per load (shared process)", related);
  RunFigures::report("floor: the landing page in a warm web view", landing);
  RunFigures::report("floor: the click URL to its landing page, warm", throughClick);
  gtk_window_destroy(window);
  g_object_unref(load.session);
  return 0;
}
