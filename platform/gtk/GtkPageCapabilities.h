// Every signal by which a page in one web view asks WebKit for something,
// and the network session's downloads, answered from PageCapabilities'
// table for the web view's kind of page. Nothing a page asks falls through
// to WebKit's default unless the table grants it.
//
// WebKitWebView signal           Answer (ad pages / in-app browser)
// -----------------------------  -----------------------------------------------------------
// decide-policy RESPONSE         an attachment, or an answer WebKit cannot show, in any frame:
//                                ignored / a download with the user's activation, else ignored
//                                (decideResponse, asked first by GtkWebViewPeer)
// decide-policy NAVIGATION,      GtkWebViewPeer, through its client (GADContentPolicy)
//   NEW_WINDOW
// permission-request             denied, every kind (geolocation, notifications, user media,
//                                clipboard, pointer lock, device info, media key system,
//                                website data access, and any kind a later WebKit adds; 6.0
//                                has no missing-media-plugins request); logged once
// query-permission-state         "denied"
// print                          refused / WebKit's dialog with the activation (consumed)
// enter-fullscreen               refused (the setting is off as well)
// leave-fullscreen               not a capability: WebKit's default
// run-file-chooser               cancelled / cancelled
// run-color-chooser              cancelled / WebKit's picker
// show-option-menu               closed unchanged / WebKit's menu
// context-menu                   no menu / only items that act on the page (no downloads,
//                                new windows or inspector); none when nothing is left
// context-menu-dismissed         not a capability
// show-notification              closed, not shown
// authenticate                   cancelled / cancelled (no credentials for sites an ad led to)
// load-failed-with-tls-errors    no exception: FALSE, so the load fails through load-failed,
//                                which the client hears (TRUE would end it as if it finished)
// insecure-content-detected      logged once per page; WebKit blocks what it runs
// create                         no web view (NULL): NEW_WINDOW loads in place
// ready-to-show, run-as-modal    never emitted: no web view is ever created for a page
// close                          ignored: window.close() on our views does nothing
// user-message-received          FALSE: we run no web process extension
// script-dialog                  GtkWebViewPeer, through its client: answered as dismissed /
//                                asked of the user in the application's own window (GtkPageDialog)
// load-changed, load-failed      GtkWebViewPeer (the page changes: refusals log anew)
// web-process-terminated,        GtkWebViewPeer
//   notify::is-web-process-responsive
// mouse-target-changed           not a capability (hover)
// resource-load-started          not a capability: subresources follow the settings
// submit-form                    not a capability: the navigation it makes is decided
// notify::is-playing-audio,      not capabilities: media plays only after a gesture, capture
//   notify::*-capture-state      is off (settings) and its permission denied
//
// WebKitNetworkSession download-started (the default session, shared): a
// download with no web view, or one of a view with no capabilities (the
// ads' root view), is cancelled; otherwise its view's Download row,
// then the user chooses where to save it (a save dialog over the window;
// cancelled with the dialog). Every refused download also answers its
// decide-destination, so WebKit never picks a folder for it.
//
// Main thread only. Signals are disconnected when this goes.
#pragma once

#include <webkit/webkit.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/PageCapabilities.h"
#include "platform/WebView.h"
#include "platform/gtk/GObjectPtr.h"

namespace platform::gtk {

class GtkPageCapabilities {
 public:
  // Answers for `webView`'s page, of `group`; the activation is the
  // client's (held weakly).
  GtkPageCapabilities(WebKitWebView* webView, WebProcessGroup group, std::weak_ptr<WebViewClient> client);
  ~GtkPageCapabilities();
  GtkPageCapabilities(const GtkPageCapabilities&) = delete;
  GtkPageCapabilities& operator=(const GtkPageCapabilities&) = delete;

  // True when the response was decided here (ignored, or made a
  // download); false leaves it to the caller's other checks.
  bool decideResponse(WebKitResponsePolicyDecision* decision);

  // The capabilities of a web view's page; null when none were made for it.
  static GtkPageCapabilities* of(WebKitWebView* webView);
  // Removes from `menu` (and its submenus) every item that acts outside
  // the page (saving to disk, new windows, the inspector, full screen,
  // items added by others), and separators at either end or next to
  // another. Whether any item is left.
  static bool keepPageItems(WebKitContextMenu* menu);

 private:
  CapabilityAnswer ask(PageCapability capability, const std::string& detail = "");
  void decideDownload(WebKitDownload* download);

  static void onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download, gpointer);
  static gboolean onDecideDestination(WebKitDownload* download, gchar* suggested, gpointer);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, gpointer self);
  static gboolean onQueryPermissionState(WebKitWebView*, WebKitPermissionStateQuery* query, gpointer self);
  static gboolean onPrint(WebKitWebView*, WebKitPrintOperation*, gpointer self);
  static gboolean onEnterFullscreen(WebKitWebView*, gpointer self);
  static gboolean onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer self);
  static gboolean onRunColorChooser(WebKitWebView*, WebKitColorChooserRequest* request, gpointer self);
  static gboolean onShowOptionMenu(WebKitWebView*, WebKitOptionMenu* menu, GdkRectangle*, gpointer self);
  static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu* menu, WebKitHitTestResult*, gpointer self);
  static gboolean onShowNotification(WebKitWebView*, WebKitNotification* notification, gpointer self);
  static gboolean onAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer self);
  static gboolean onTLSErrors(WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags, gpointer self);
  static void onInsecureContent(WebKitWebView*, WebKitInsecureContentEvent event, gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer self);
  static void onClose(WebKitWebView*, gpointer self);
  static gboolean onUserMessage(WebKitWebView*, WebKitUserMessage*, gpointer self);

  GObjectPtr<WebKitWebView> webView_;
  std::weak_ptr<WebViewClient> client_;
  PageCapabilities rules_;
  // The request of the download a response decision granted, which the
  // session starts next: its activation was taken then.
  std::optional<std::string> grantedDownload_;
  ScopedSignal loadChanged_, permission_, permissionState_, print_, fullscreen_, fileChooser_, colorChooser_,
      optionMenu_, contextMenu_, notification_, authenticate_, tlsErrors_, insecureContent_, create_, close_,
      userMessage_;
};

}  // namespace platform::gtk
