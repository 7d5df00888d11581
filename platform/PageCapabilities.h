// What a page may ask of the toolkit itself, beyond navigating: save a
// file, print, go full screen, use a permission, open the toolkit's own
// pickers and menus. Every such request, for every kind of page, is
// answered here, from one table; toolkit backends map their signals onto
// these rows and follow the answer. No request is left to the toolkit's
// default unless its row says so.
//
// The hazard: a page is untrusted (an ad, or a site reached from one). A
// request it makes without the user acting on it, or any request of an ad
// page at all, could write to the user's disk, put the desktop's dialogs
// over the application or reach devices. The user's activation (a real
// press and release on that web view, WebView::consumeUserActivation) is
// the only key, and only the in-app browser's pages can use it.
//
//  Request (toolkit signal)           Ad pages       In-app browser
//  ---------------------------------  -------------  ---------------------------------
//  Download: an attachment or an      refused        with activation (consumed), and
//   answer it cannot show; a started                  only to where the user saves it
//   download
//  Permission (every kind)            refused        refused
//  PermissionQuery (its state)        "denied"       "denied"
//  Print                              refused        with activation (consumed)
//  Fullscreen                         refused        refused
//  FileChooser (uploads)              refused        refused: no uploads from sites
//                                                     an ad led to
//  ColorChooser, OptionMenu           refused        the toolkit's own picker
//  ContextMenu                        no menu        the page's own items only
//  Notification (shown)               refused        refused
//  Authentication (HTTP)              refused        refused: no credentials asked
//                                                     for by sites an ad led to
//  CertificateException (TLS errors)  refused        refused: the load fails
//  NewWindow (a web view for one)     refused        refused (navigation decisions
//                                                     load it in place)
//  CloseWindow (window.close())       refused        refused
//  UserMessage (from the page's       refused        refused
//   process)
//
// Refusals are logged once per page and request ("<Rezido> Refused
// (print) ..."). Main thread only.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>

#include "platform/WebView.h"

namespace platform {

enum class PageCapability {
  Download,
  Permission,
  PermissionQuery,
  Print,
  Fullscreen,
  FileChooser,
  ColorChooser,
  OptionMenu,
  ContextMenu,
  Notification,
  Authentication,
  CertificateException,
  NewWindow,
  CloseWindow,
  UserMessage,
};

// How a row lets one kind of page have a capability.
enum class CapabilityGrant {
  Never,
  WithActivation,  // when the page holds the user's activation, which the act consumes
  PageItemsOnly,   // a menu of the items that act on the page alone
  ToolkitDefault,  // the toolkit's own handling, which stays inside the web view
};

// The answer to one request.
enum class CapabilityAnswer { Refused, Granted, PageItemsOnly };

class PageCapabilities {
 public:
  explicit PageCapabilities(WebProcessGroup group) : group_(group) {}

  // The table's row for one kind of page.
  static CapabilityGrant grant(PageCapability capability, WebProcessGroup group);
  // The row's answer; `consumeActivation` is asked (and the activation
  // taken) only where the row depends on it.
  static CapabilityAnswer answer(PageCapability capability, WebProcessGroup group,
                                 const std::function<bool()>& consumeActivation);
  // The name in logs and the documentation ("print").
  static const char* name(PageCapability capability);

  WebProcessGroup group() const { return group_; }
  // This page's answer; a refusal is logged once per page and `detail`
  // (the kind of permission, say).
  CapabilityAnswer ask(PageCapability capability, const std::function<bool()>& consumeActivation,
                       const std::string& detail = "");
  // Logs `what` once per page (what the toolkit tells without asking).
  void noteOnce(const std::string& what);
  // A new page is shown: its refusals are logged anew.
  void pageDidChange() { logged_.clear(); }

 private:
  WebProcessGroup group_;
  std::set<std::string> logged_;
};

}  // namespace platform
