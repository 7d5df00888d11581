#include "platform/gtk/GtkWebViewSettings.h"

namespace platform::gtk {

namespace {

WebKitWebContext* sharedContext() {
  static WebKitWebContext* context = [] {
    WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(memory, GtkWebViewSettings::kMemoryLimitMegabytes);
    auto* made = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "memory-pressure-settings", memory, nullptr));
    webkit_memory_pressure_settings_free(memory);
    return made;
  }();
  return context;
}

}  // namespace

WebKitWebView* GtkWebViewSettings::makeWebView() {
  return WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", sharedContext(), "network-session",
                                      webkit_network_session_get_default(), nullptr));
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
