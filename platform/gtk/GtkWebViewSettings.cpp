#include "platform/gtk/GtkWebViewSettings.h"

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

}  // namespace

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
