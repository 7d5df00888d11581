#include "platform/gtk/GtkPageCapabilities.h"

#include <libsoup/soup.h>

#include <cstring>

namespace platform::gtk {

namespace {

constexpr char kKey[] = "blorvik-page-capabilities";

// The name of a permission in the log; unknown kinds (a newer WebKit's)
// are denied all the same.
const char* permissionName(WebKitPermissionRequest* request) {
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) return "geolocation";
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) return "notifications";
  if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) return "user media";
  if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request)) return "clipboard";
  if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request)) return "pointer lock";
  if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) return "device info";
  if (WEBKIT_IS_MEDIA_KEY_SYSTEM_PERMISSION_REQUEST(request)) return "media key system";
  if (WEBKIT_IS_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST(request)) return "website data access";
  return "other";
}

// Items that act on the page alone. Everything else (saving to disk, new
// windows, the inspector, full screen, items an extension added) leaves it.
bool actsOnThePageAlone(WebKitContextMenuAction action) {
  switch (action) {
    case WEBKIT_CONTEXT_MENU_ACTION_NO_ACTION:  // separators
    case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK:  // in this view, decided as a navigation
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_URL_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
    case WEBKIT_CONTEXT_MENU_ACTION_STOP:
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY:
    case WEBKIT_CONTEXT_MENU_ACTION_CUT:
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE:
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT:
    case WEBKIT_CONTEXT_MENU_ACTION_DELETE:
    case WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL:
    case WEBKIT_CONTEXT_MENU_ACTION_INPUT_METHODS:
    case WEBKIT_CONTEXT_MENU_ACTION_UNICODE:
    case WEBKIT_CONTEXT_MENU_ACTION_INSERT_EMOJI:
    case WEBKIT_CONTEXT_MENU_ACTION_SPELLING_GUESS:
    case WEBKIT_CONTEXT_MENU_ACTION_NO_GUESSES_FOUND:
    case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_SPELLING:
    case WEBKIT_CONTEXT_MENU_ACTION_LEARN_SPELLING:
    case WEBKIT_CONTEXT_MENU_ACTION_IGNORE_GRAMMAR:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_VIDEO_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_COPY_AUDIO_LINK_TO_CLIPBOARD:
    case WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_CONTROLS:
    case WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_LOOP:
    case WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PLAY:
    case WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PAUSE:
    case WEBKIT_CONTEXT_MENU_ACTION_MEDIA_MUTE:
      return true;
    default:
      return false;
  }
}

// Whether a response becomes a file rather than a page: WebKit would save
// it to the downloads folder by itself.
bool isAttachment(WebKitResponsePolicyDecision* decision) {
  if (!webkit_response_policy_decision_is_mime_type_supported(decision)) return true;
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
  char* disposition = nullptr;
  if (!headers || !soup_message_headers_get_content_disposition(headers, &disposition, nullptr)) return false;
  const bool attachment = disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
  g_free(disposition);
  return attachment;
}

const char* requestURI(WebKitDownload* download) {
  WebKitURIRequest* request = webkit_download_get_request(download);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return uri ? uri : "";
}

void refuse(WebKitDownload* download) {
  // Should WebKit still ask where the file goes, it is told nowhere.
  g_signal_connect(download, "decide-destination", G_CALLBACK(+[](WebKitDownload* d, gchar*, gpointer) -> gboolean {
                     webkit_download_cancel(d);
                     return TRUE;
                   }),
                   nullptr);
  webkit_download_cancel(download);
}

// Asks the user where `download` goes, over the window of the web view it
// came from; the download waits (decide-destination was answered TRUE)
// and is cancelled when the user cancels or the view has gone.
void askWhereToSave(WebKitDownload* download, const char* suggested) {
  WebKitWebView* view = webkit_download_get_web_view(download);
  GtkRoot* root = view ? gtk_widget_get_root(GTK_WIDGET(view)) : nullptr;
  if (!root || !GTK_IS_WINDOW(root)) {
    webkit_download_cancel(download);
    return;
  }
  GtkFileChooserNative* chooser =
      gtk_file_chooser_native_new("Save File", GTK_WINDOW(root), GTK_FILE_CHOOSER_ACTION_SAVE, "_Save", "_Cancel");
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
  if (suggested && *suggested) gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), suggested);
  g_signal_connect(chooser, "response", G_CALLBACK(+[](GtkNativeDialog* dialog, int response, gpointer data) {
                     auto* waiting = static_cast<WebKitDownload*>(data);
                     GFile* file = response == GTK_RESPONSE_ACCEPT
                                       ? gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog))
                                       : nullptr;
                     char* path = file ? g_file_get_path(file) : nullptr;
                     if (path) {
                       // The user chose this file: a file already there is replaced, as they were asked.
                       webkit_download_set_allow_overwrite(waiting, TRUE);
                       webkit_download_set_destination(waiting, path);
                     } else {
                       webkit_download_cancel(waiting);
                     }
                     g_free(path);
                     if (file) g_object_unref(file);
                     g_object_unref(waiting);
                     g_object_unref(dialog);
                   }),
                   g_object_ref(download));
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

}  // namespace

GtkPageCapabilities::GtkPageCapabilities(WebKitWebView* webView, WebProcessGroup group,
                                         std::weak_ptr<WebViewClient> client)
    : webView_(GObjectPtr<WebKitWebView>::retain(webView)), client_(std::move(client)), rules_(group) {
  static const bool sessionConnected = [] {
    // The session is the process's, as is this handler: it finds each
    // download's page by its web view.
    g_signal_connect(webkit_network_session_get_default(), "download-started", G_CALLBACK(onDownloadStarted),
                     nullptr);
    return true;
  }();
  (void)sessionConnected;
  g_object_set_data(G_OBJECT(webView), kKey, this);
  auto connect = [&](const char* signal, GCallback handler) {
    return ScopedSignal(webView, g_signal_connect(webView, signal, handler, this));
  };
  loadChanged_ = connect("load-changed", G_CALLBACK(onLoadChanged));
  permission_ = connect("permission-request", G_CALLBACK(onPermissionRequest));
  permissionState_ = connect("query-permission-state", G_CALLBACK(onQueryPermissionState));
  print_ = connect("print", G_CALLBACK(onPrint));
  fullscreen_ = connect("enter-fullscreen", G_CALLBACK(onEnterFullscreen));
  fileChooser_ = connect("run-file-chooser", G_CALLBACK(onRunFileChooser));
  colorChooser_ = connect("run-color-chooser", G_CALLBACK(onRunColorChooser));
  optionMenu_ = connect("show-option-menu", G_CALLBACK(onShowOptionMenu));
  contextMenu_ = connect("context-menu", G_CALLBACK(onContextMenu));
  notification_ = connect("show-notification", G_CALLBACK(onShowNotification));
  authenticate_ = connect("authenticate", G_CALLBACK(onAuthenticate));
  tlsErrors_ = connect("load-failed-with-tls-errors", G_CALLBACK(onTLSErrors));
  insecureContent_ = connect("insecure-content-detected", G_CALLBACK(onInsecureContent));
  create_ = connect("create", G_CALLBACK(onCreate));
  close_ = connect("close", G_CALLBACK(onClose));
  userMessage_ = connect("user-message-received", G_CALLBACK(onUserMessage));
}

GtkPageCapabilities::~GtkPageCapabilities() {
  if (of(webView_.get()) == this) g_object_set_data(G_OBJECT(webView_.get()), kKey, nullptr);
}

bool GtkPageCapabilities::keepPageItems(WebKitContextMenu* menu) {
  GList* items = g_list_copy(webkit_context_menu_get_items(menu));
  bool lastWasSeparator = true;  // none may lead
  WebKitContextMenuItem* trailing = nullptr;
  bool anyItem = false;
  for (GList* node = items; node; node = node->next) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(node->data);
    const bool separator = webkit_context_menu_item_is_separator(item);
    WebKitContextMenu* submenu = webkit_context_menu_item_get_submenu(item);
    // A submenu is its items: its own action is none of WebKit's.
    bool keep = submenu ? keepPageItems(submenu) : actsOnThePageAlone(webkit_context_menu_item_get_stock_action(item));
    if (keep && separator && lastWasSeparator) keep = false;
    if (!keep) {
      webkit_context_menu_remove(menu, item);
      continue;
    }
    lastWasSeparator = separator;
    trailing = separator ? item : nullptr;
    anyItem = anyItem || !separator;
  }
  g_list_free(items);
  if (trailing) webkit_context_menu_remove(menu, trailing);
  return anyItem;
}

GtkPageCapabilities* GtkPageCapabilities::of(WebKitWebView* webView) {
  return static_cast<GtkPageCapabilities*>(g_object_get_data(G_OBJECT(webView), kKey));
}

CapabilityAnswer GtkPageCapabilities::ask(PageCapability capability, const std::string& detail) {
  return rules_.ask(
      capability,
      [this] {
        auto client = client_.lock();
        return client && client->peerConsumeUserActivation();
      },
      detail);
}

bool GtkPageCapabilities::decideResponse(WebKitResponsePolicyDecision* decision) {
  if (!isAttachment(decision)) return false;
  auto* asked = WEBKIT_POLICY_DECISION(decision);
  if (ask(PageCapability::Download) != CapabilityAnswer::Granted) {
    webkit_policy_decision_ignore(asked);
    return true;
  }
  WebKitURIRequest* request = webkit_response_policy_decision_get_request(decision);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  grantedDownload_ = uri ? uri : "";
  webkit_policy_decision_download(asked);
  return true;
}

void GtkPageCapabilities::onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download, gpointer) {
  WebKitWebView* view = webkit_download_get_web_view(download);
  GtkPageCapabilities* self = view ? of(view) : nullptr;
  if (!self) {
    refuse(download);
    return;
  }
  self->decideDownload(download);
}

// A download the response decision made has had its activation; any other
// (a link with "download", a blob) takes one now.
void GtkPageCapabilities::decideDownload(WebKitDownload* download) {
  const bool granted = grantedDownload_ && *grantedDownload_ == requestURI(download);
  grantedDownload_.reset();
  if (!granted && ask(PageCapability::Download) != CapabilityAnswer::Granted) {
    refuse(download);
    return;
  }
  g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), nullptr);
}

gboolean GtkPageCapabilities::onDecideDestination(WebKitDownload* download, gchar* suggested, gpointer) {
  askWhereToSave(download, suggested);
  return TRUE;
}

void GtkPageCapabilities::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  if (event != WEBKIT_LOAD_COMMITTED) return;
  auto* self = static_cast<GtkPageCapabilities*>(data);
  self->rules_.pageDidChange();
  // A grant the last page never used is not the next page's.
  self->grantedDownload_.reset();
}

gboolean GtkPageCapabilities::onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, gpointer data) {
  auto* self = static_cast<GtkPageCapabilities*>(data);
  if (self->ask(PageCapability::Permission, permissionName(request)) == CapabilityAnswer::Granted)
    webkit_permission_request_allow(request);
  else
    webkit_permission_request_deny(request);
  return TRUE;
}

gboolean GtkPageCapabilities::onQueryPermissionState(WebKitWebView*, WebKitPermissionStateQuery* query,
                                                     gpointer data) {
  auto* self = static_cast<GtkPageCapabilities*>(data);
  // Only "denied" is ever true here: "prompt" would invite a request that
  // is refused anyway.
  self->ask(PageCapability::PermissionQuery);
  webkit_permission_state_query_finish(query, WEBKIT_PERMISSION_STATE_DENIED);
  return TRUE;
}

gboolean GtkPageCapabilities::onPrint(WebKitWebView*, WebKitPrintOperation*, gpointer data) {
  // Not handled, WebKit shows the desktop's print dialog.
  return static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::Print) != CapabilityAnswer::Granted;
}

gboolean GtkPageCapabilities::onEnterFullscreen(WebKitWebView*, gpointer data) {
  return static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::Fullscreen) != CapabilityAnswer::Granted;
}

gboolean GtkPageCapabilities::onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer data) {
  if (static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::FileChooser) == CapabilityAnswer::Granted)
    return FALSE;
  webkit_file_chooser_request_cancel(request);
  return TRUE;
}

gboolean GtkPageCapabilities::onRunColorChooser(WebKitWebView*, WebKitColorChooserRequest* request, gpointer data) {
  if (static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::ColorChooser) == CapabilityAnswer::Granted)
    return FALSE;
  webkit_color_chooser_request_cancel(request);
  return TRUE;
}

gboolean GtkPageCapabilities::onShowOptionMenu(WebKitWebView*, WebKitOptionMenu* menu, GdkRectangle*, gpointer data) {
  if (static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::OptionMenu) == CapabilityAnswer::Granted)
    return FALSE;
  webkit_option_menu_close(menu);  // the choice stays as it was
  return TRUE;
}

gboolean GtkPageCapabilities::onContextMenu(WebKitWebView*, WebKitContextMenu* menu, WebKitHitTestResult*,
                                            gpointer data) {
  switch (static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::ContextMenu)) {
    case CapabilityAnswer::Granted: return FALSE;
    case CapabilityAnswer::PageItemsOnly: return keepPageItems(menu) ? FALSE : TRUE;
    case CapabilityAnswer::Refused: return TRUE;
  }
  return TRUE;
}

gboolean GtkPageCapabilities::onShowNotification(WebKitWebView*, WebKitNotification* notification, gpointer data) {
  if (static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::Notification) == CapabilityAnswer::Granted)
    return FALSE;
  webkit_notification_close(notification);
  return TRUE;
}

gboolean GtkPageCapabilities::onAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer data) {
  if (static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::Authentication) == CapabilityAnswer::Granted)
    return FALSE;
  webkit_authentication_request_cancel(request);
  return TRUE;
}

// TRUE would stop load-failed, and the load would end as if it had
// finished: the client must hear that it failed.
gboolean GtkPageCapabilities::onTLSErrors(WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags,
                                          gpointer data) {
  static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::CertificateException);
  return FALSE;
}

void GtkPageCapabilities::onInsecureContent(WebKitWebView*, WebKitInsecureContentEvent event, gpointer data) {
  static_cast<GtkPageCapabilities*>(data)->rules_.noteOnce(
      event == WEBKIT_INSECURE_CONTENT_RUN ? "Insecure content run on a secure page (blocked by WebKit)"
                                           : "Insecure content shown on a secure page");
}

GtkWidget* GtkPageCapabilities::onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer data) {
  static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::NewWindow);
  return nullptr;
}

void GtkPageCapabilities::onClose(WebKitWebView*, gpointer data) {
  static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::CloseWindow);
}

gboolean GtkPageCapabilities::onUserMessage(WebKitWebView*, WebKitUserMessage*, gpointer data) {
  static_cast<GtkPageCapabilities*>(data)->ask(PageCapability::UserMessage);
  return FALSE;
}

}  // namespace platform::gtk
