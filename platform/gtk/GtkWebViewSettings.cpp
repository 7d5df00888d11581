#include "platform/gtk/GtkWebViewSettings.h"

#include <map>
#include <memory>
#include <vector>

#include "platform/Log.h"

namespace platform::gtk {

namespace {

WebKitWebContext* sharedContext() {
  static WebKitWebContext* context = [] {
    WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(memory, GtkWebViewSettings::kMemoryLimitMegabytes);
    // WebKit's default is to warn a process past its limit and never end
    // it: a page that keeps growing is then bounded only by the machine.
    // The process is ended at the limit itself (its web views report
    // WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT), and it looks every second,
    // not every 30 s (the default): a page that grows by 55 MB a second
    // would pass the limit by more than a gigabyte before a 30-second look.
    webkit_memory_pressure_settings_set_kill_threshold(memory, GtkWebViewSettings::kKillThreshold);
    webkit_memory_pressure_settings_set_poll_interval(memory, GtkWebViewSettings::kMemoryPollSeconds);
    auto* made = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", memory, nullptr));
    webkit_memory_pressure_settings_free(memory);
    return made;
  }();
  return context;
}

// The session every page shares, its rules decided once, not left to the
// library's defaults: a page's third parties (an ad's trackers, a landing
// site's) neither set nor read cookies in it. Tracking prevention, when on,
// would accept every cookie in place of that policy (WebKit's rule): it
// stays off.
WebKitNetworkSession* sharedSession() {
  static WebKitNetworkSession* session = [] {
    WebKitNetworkSession* made = webkit_network_session_get_default();
    webkit_network_session_set_itp_enabled(made, FALSE);
    webkit_cookie_manager_set_accept_policy(webkit_network_session_get_cookie_manager(made),
                                            WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY);
    return made;
  }();
  return session;
}

// The ads' first web view, never shown and kept for the run: every other ad
// page's view is related to it, so they all share its web process, and
// none waits for a process of its own.
WebKitWebView* adsRootView() {
  static WebKitWebView* root = [] {
    auto* made = WEBKIT_WEB_VIEW(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", sharedContext(), "network-session", sharedSession(), nullptr));
    g_object_ref_sink(made);
    GtkWebViewSettings::apply(made, WebProcessGroup::Ads);
    // The process starts with the first load: an empty page.
    webkit_web_view_load_html(made, "", nullptr);
    return made;
  }();
  return root;
}

// A feature by its WebKit identifier; one this WebKit does not know is left.
void setFeature(WebKitSettings* settings, const char* identifier, bool enabled) {
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* feature = webkit_feature_list_get(features, i);
    if (g_strcmp0(webkit_feature_get_identifier(feature), identifier) == 0)
      webkit_settings_set_feature_enabled(settings, feature, enabled);
  }
  webkit_feature_list_unref(features);
}

// One compiled blocking rule, and the managers waiting for it.
struct ScriptBlock {
  WebKitUserContentFilter* filter = nullptr;
  std::vector<GWeakRef*> waiting;
  bool failed = false;
};

std::map<std::string, ScriptBlock>& scriptBlocks() {
  static std::map<std::string, ScriptBlock> blocks;
  return blocks;
}

WebKitUserContentFilterStore* filterStore() {
  static WebKitUserContentFilterStore* store = [] {
    char* path = g_build_filename(g_get_user_cache_dir(), "blorvik", "content-filters", nullptr);
    WebKitUserContentFilterStore* made = webkit_user_content_filter_store_new(path);
    g_free(path);
    return made;
  }();
  return store;
}

// WebKit's rules match a URL by a regular expression without alternatives:
// one rule for the name at the end of the URL, one for it before a query
// or a fragment.
std::string scriptBlockRules(const std::string& fileName) {
  std::string escaped;
  for (const char c : fileName) {
    if (c == '.') escaped += "\\\\";  // a dot as such: "\\." in JSON
    escaped += c;
  }
  const std::string trigger = R"({"trigger":{"resource-type":["script"],"url-filter":"/)" + escaped;
  return "[" + trigger + R"($"},"action":{"type":"block"}},)" + trigger + R"([?#]"},"action":{"type":"block"}}])";
}

void onScriptBlockCompiled(GObject* store, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::string> fileName(static_cast<std::string*>(data));
  ScriptBlock& block = scriptBlocks()[*fileName];
  GError* error = nullptr;
  block.filter = webkit_user_content_filter_store_save_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
  if (!block.filter) {
    block.failed = true;
    platform::log("Scripts named %s cannot be blocked: %s", fileName->c_str(), error ? error->message : "no reason");
    if (error) g_error_free(error);
  }
  for (GWeakRef* ref : block.waiting) {
    if (auto* manager = static_cast<WebKitUserContentManager*>(g_weak_ref_get(ref))) {
      if (block.filter) webkit_user_content_manager_add_filter(manager, block.filter);
      g_object_unref(manager);
    }
    g_weak_ref_clear(ref);
    delete ref;
  }
  block.waiting.clear();
}

}  // namespace

void GtkWebViewSettings::blockScriptsNamed(WebKitUserContentManager* manager, const std::string& fileName) {
  auto [it, fresh] = scriptBlocks().try_emplace(fileName);
  ScriptBlock& block = it->second;
  if (block.filter) {
    webkit_user_content_manager_add_filter(manager, block.filter);
    return;
  }
  if (block.failed) return;
  auto* ref = new GWeakRef;
  g_weak_ref_init(ref, manager);
  block.waiting.push_back(ref);
  if (!fresh) return;
  const std::string rules = scriptBlockRules(fileName);
  GBytes* source = g_bytes_new(rules.data(), rules.size());
  webkit_user_content_filter_store_save(filterStore(), ("script-" + fileName).c_str(), source, nullptr,
                                        onScriptBlockCompiled, new std::string(fileName));
  g_bytes_unref(source);
}

WebKitWebView* GtkWebViewSettings::makeWebView(WebProcessGroup group) {
  // A related view would share its root's content manager, and with it any
  // script one web view adds for its pages: each has its own.
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  auto* made = group == WebProcessGroup::Ads
                   ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", adsRootView(), "user-content-manager", content,
                                  nullptr)
                   : g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", sharedContext(), "network-session",
                                  sharedSession(), "user-content-manager", content, nullptr);
  g_object_unref(content);
  return WEBKIT_WEB_VIEW(made);
}

void GtkWebViewSettings::startWebProcessSoon() {
  g_idle_add_once([](gpointer) { adsRootView(); }, nullptr);
}

void GtkWebViewSettings::apply(WebKitWebView* webView, WebProcessGroup group) {
  WebKitSettings* settings = webkit_web_view_get_settings(webView);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
  webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
  webkit_settings_set_allow_top_navigation_to_data_urls(settings, FALSE);
  webkit_settings_set_javascript_can_access_clipboard(settings, FALSE);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_media_playback_requires_user_gesture(settings, TRUE);
  // A page's console is the page's business, not our log's.
  webkit_settings_set_enable_write_console_messages_to_stdout(settings, FALSE);
  // Capabilities no page of ours is given (PageCapabilities refuses them
  // too): full screen, cameras and microphones, peer connections, DRM's
  // key systems, and test devices standing in for cameras.
  webkit_settings_set_enable_fullscreen(settings, FALSE);
  webkit_settings_set_enable_media_stream(settings, FALSE);
  webkit_settings_set_enable_mock_capture_devices(settings, FALSE);
  webkit_settings_set_enable_webrtc(settings, FALSE);
  webkit_settings_set_enable_encrypted_media(settings, FALSE);
  webkit_settings_set_disable_web_security(settings, FALSE);
  const bool adPage = group == WebProcessGroup::Ads;
  // An ad never asks for the pointer, and writes nothing to the clipboard
  // (the asynchronous clipboard would let a click handler replace what the
  // user copied). A site in the browser may copy on the user's click;
  // reading is a permission, which is refused.
  setFeature(settings, "PointerLock", !adPage);
  setFeature(settings, "AsyncClipboardAPI", !adPage);
  // An ad page is never gone back to: no page is kept running in the
  // back-forward cache. The browser's pages are, for its Back button.
  webkit_settings_set_enable_page_cache(settings, !adPage);
}

}  // namespace platform::gtk
