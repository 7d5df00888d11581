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

// The first web view of a group, never shown and kept for the run: every
// other of the group is related to it, so they all share its web process
// (and its context and session), and none waits for a process of its own.
WebKitWebView* makeRootView() {
  auto* made = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", sharedContext(), "network-session",
                                            webkit_network_session_get_default(), nullptr));
  g_object_ref_sink(made);
  GtkWebViewSettings::apply(made);
  // The process starts with the first load: an empty page.
  webkit_web_view_load_html(made, "", nullptr);
  return made;
}

WebKitWebView* rootView(WebProcessGroup group) {
  static WebKitWebView* ads = makeRootView();
  if (group == WebProcessGroup::Ads) return ads;
  static WebKitWebView* browsing = makeRootView();
  return browsing;
}

}  // namespace

WebKitWebView* GtkWebViewSettings::makeWebView(WebProcessGroup group) {
  return WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", rootView(group), nullptr));
}

void GtkWebViewSettings::startWebProcessSoon() {
  g_idle_add_once([](gpointer) { rootView(WebProcessGroup::Ads); }, nullptr);
}

void GtkWebViewSettings::apply(WebKitWebView* webView) {
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
}

}  // namespace platform::gtk
