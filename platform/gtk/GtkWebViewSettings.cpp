#include "platform/gtk/GtkWebViewSettings.h"

namespace platform::gtk {

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
