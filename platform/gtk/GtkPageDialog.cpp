#include "platform/gtk/GtkPageDialog.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "platform/URL.h"
#include "platform/WebView.h"

namespace platform::gtk {

namespace {

constexpr int kWindowMargin = 16;  // at least, between the dialog's sides and its window's
constexpr int kPreferredWidth = 400;
constexpr int kMinimumWidth = 200;
// The heading, entry, buttons and spacing take at most this height; the
// message scrolls in what the window has left.
constexpr int kHeightBesideMessage = 180;
constexpr int kMinimumMessageHeight = 60;

enum class Ellipsis { No, Yes };

// The first `limit` characters of `text`, then an ellipsis if there were
// more and one is asked for. Only the bytes those characters can take are
// read, however long the page made `text`; what is no UTF-8 is replaced.
std::string bounded(const char* text, long limit, Ellipsis ellipsis) {
  if (!text) return {};
  const size_t readable = static_cast<size_t>(limit + 1) * 4;  // a character takes four bytes at most
  const size_t length = strnlen(text, readable);
  char* valid = g_utf8_make_valid(text, static_cast<gssize>(length));
  const char* end = valid;
  for (long n = 0; *end && n < limit; ++n) end = g_utf8_next_char(end);
  std::string shown(valid, static_cast<size_t>(end - valid));
  const bool cut = *end || length == readable;
  g_free(valid);
  if (cut && ellipsis == Ellipsis::Yes) shown += "…";
  return shown;
}

// Who asks, as a person would read it in an address: "example.com says",
// with a port the address names; a page with no host (a file, data or
// blank page) is "This page".
std::string headingOf(WebKitWebView* page) {
  const char* uri = webkit_web_view_get_uri(page);
  const auto url = uri && std::strlen(uri) <= WebView::kMaximumURLBytes ? URL::create(uri) : std::optional<URL>();
  if (!url || url->host().empty()) return "This page says";
  // An IPv6 address is written in brackets. Built by appending: g++ 12 at
  // -O3 takes "[" + host for an overlapping copy (-Wrestrict).
  std::string site;
  const bool bracketed = url->host().find(':') != std::string::npos;
  if (bracketed) site.push_back('[');
  site.append(url->host());
  if (bracketed) site.push_back(']');
  if (url->port()) site.append(":").append(std::to_string(*url->port()));
  return site.append(" says");
}

GtkWidget* label(const std::string& text) {
  GtkWidget* widget = gtk_label_new(text.c_str());  // plain text: no markup, no mnemonic
  gtk_label_set_xalign(GTK_LABEL(widget), 0);
  return widget;
}

}  // namespace

void GtkPageDialog::answerDismissed(WebKitScriptDialog* dialog) {
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM: webkit_script_dialog_confirm_set_confirmed(dialog, FALSE); break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM: webkit_script_dialog_confirm_set_confirmed(dialog, TRUE); break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT: webkit_script_dialog_prompt_set_text(dialog, nullptr); break;
    case WEBKIT_SCRIPT_DIALOG_ALERT: break;
  }
}

std::unique_ptr<GtkPageDialog> GtkPageDialog::show(WebKitWebView* page, WebKitScriptDialog* dialog) {
  GtkRoot* root = gtk_widget_get_root(GTK_WIDGET(page));
  if (!root || !GTK_IS_WINDOW(root)) {
    answerDismissed(dialog);
    return nullptr;
  }
  return std::unique_ptr<GtkPageDialog>(new GtkPageDialog(GTK_WINDOW(root), page, dialog));
}

GtkPageDialog::GtkPageDialog(GtkWindow* parent, WebKitWebView* page, WebKitScriptDialog* dialog)
    : dialog_(webkit_script_dialog_ref(dialog)) {
  const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
  const bool leavePage = type == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM;
  const std::string heading = headingOf(page);
  const std::string message =
      leavePage ? "Leave this page? Changes you made may not be saved."
                : bounded(webkit_script_dialog_get_message(dialog), kMaximumMessageCharacters, Ellipsis::Yes);

  // GTK owns a new window until it is destroyed; this holds one more reference.
  GtkWidget* window =
      GTK_WIDGET(g_object_new(GTK_TYPE_WINDOW, "accessible-role", GTK_ACCESSIBLE_ROLE_ALERT_DIALOG, nullptr));
  window_ = GObjectPtr<GtkWidget>::retain(window);
  gtk_window_set_title(GTK_WINDOW(window), heading.c_str());
  gtk_window_set_transient_for(GTK_WINDOW(window), parent);
  gtk_window_set_modal(GTK_WINDOW(window), TRUE);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(window), TRUE);
  // As wide as the window allows; as high as the message needs, up to what
  // the window allows (the message scrolls beyond).
  const int parentWidth = gtk_widget_get_width(GTK_WIDGET(parent));
  const int parentHeight = gtk_widget_get_height(GTK_WIDGET(parent));
  gtk_window_set_default_size(GTK_WINDOW(window),
                              std::clamp(parentWidth - 2 * kWindowMargin, kMinimumWidth, kPreferredWidth), -1);
  gtk_accessible_update_property(GTK_ACCESSIBLE(window), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION, message.c_str(), -1);

  GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_widget_set_margin_start(content, 18);
  gtk_widget_set_margin_end(content, 18);
  gtk_widget_set_margin_top(content, 18);
  gtk_widget_set_margin_bottom(content, 18);
  gtk_window_set_child(GTK_WINDOW(window), content);

  // One line: an address too long to show whole keeps its end, which names
  // the site it belongs to.
  GtkWidget* title = label(heading);
  gtk_widget_add_css_class(title, "heading");
  gtk_label_set_ellipsize(GTK_LABEL(title), PANGO_ELLIPSIZE_START);
  gtk_box_append(GTK_BOX(content), title);

  GtkWidget* text = label(message);
  gtk_label_set_wrap(GTK_LABEL(text), TRUE);
  gtk_label_set_wrap_mode(GTK_LABEL(text), PANGO_WRAP_WORD_CHAR);  // a long address breaks too
  gtk_label_set_yalign(GTK_LABEL(text), 0);
  GtkWidget* scroller = gtk_scrolled_window_new();
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroller), TRUE);
  gtk_scrolled_window_set_max_content_height(
      GTK_SCROLLED_WINDOW(scroller),
      std::max(kMinimumMessageHeight, parentHeight - 2 * kWindowMargin - kHeightBesideMessage));
  gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scroller), text);
  gtk_widget_set_visible(scroller, !message.empty());
  gtk_box_append(GTK_BOX(content), scroller);

  if (type == WEBKIT_SCRIPT_DIALOG_PROMPT) {
    entry_ = gtk_entry_new();
    gtk_editable_set_text(
        GTK_EDITABLE(entry_),
        bounded(webkit_script_dialog_prompt_get_default_text(dialog), kMaximumPromptCharacters, Ellipsis::No).c_str());
    gtk_entry_set_activates_default(GTK_ENTRY(entry_), TRUE);
    gtk_accessible_update_property(GTK_ACCESSIBLE(entry_), GTK_ACCESSIBLE_PROPERTY_LABEL, message.c_str(), -1);
    gtk_box_append(GTK_BOX(content), entry_);
  }

  GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
  gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
  gtk_widget_set_halign(buttons, GTK_ALIGN_END);
  gtk_box_append(GTK_BOX(content), buttons);
  if (type != WEBKIT_SCRIPT_DIALOG_ALERT) {
    GtkWidget* decline = gtk_button_new_with_label(leavePage ? "Stay" : "Cancel");
    decline_ = ScopedSignal(decline, g_signal_connect(decline, "clicked", G_CALLBACK(onDecline), this));
    gtk_box_append(GTK_BOX(buttons), decline);
  }
  GtkWidget* accept = gtk_button_new_with_label(leavePage ? "Leave" : "OK");
  gtk_widget_add_css_class(accept, "suggested-action");
  accept_ = ScopedSignal(accept, g_signal_connect(accept, "clicked", G_CALLBACK(onAccept), this));
  gtk_box_append(GTK_BOX(buttons), accept);

  // Return activates the focused button, or from the entry the default one;
  // Escape, before any widget sees it, declines (an alert has nothing to decline).
  gtk_window_set_default_widget(GTK_WINDOW(window), accept);
  gtk_window_set_focus(GTK_WINDOW(window), entry_ ? entry_ : accept);
  GtkEventController* keys = gtk_event_controller_key_new();
  gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
  gtk_widget_add_controller(window, keys);
  keys_ = ScopedSignal(keys, g_signal_connect(keys, "key-pressed", G_CALLBACK(onKeyPressed), this));
  // Closed by the window manager: as Escape.
  closeRequest_ = ScopedSignal(window, g_signal_connect(window, "close-request", G_CALLBACK(onCloseRequest), this));
  gtk_window_present(GTK_WINDOW(window));
}

void GtkPageDialog::onAccept(GtkButton*, gpointer self) { static_cast<GtkPageDialog*>(self)->answer(Answer::Accept); }
void GtkPageDialog::onDecline(GtkButton*, gpointer self) { static_cast<GtkPageDialog*>(self)->answer(Answer::Decline); }

gboolean GtkPageDialog::onKeyPressed(GtkEventControllerKey*, guint key, guint, GdkModifierType, gpointer self) {
  if (key != GDK_KEY_Escape) return FALSE;
  static_cast<GtkPageDialog*>(self)->answer(Answer::Decline);
  return TRUE;
}

gboolean GtkPageDialog::onCloseRequest(GtkWindow*, gpointer self) {
  static_cast<GtkPageDialog*>(self)->answer(Answer::Decline);
  return TRUE;  // closed already
}

GtkPageDialog::~GtkPageDialog() {
  if (WebKitScriptDialog* dialog = std::exchange(dialog_, nullptr)) {
    answerDismissed(dialog);
    webkit_script_dialog_close(dialog);
    webkit_script_dialog_unref(dialog);
  }
  close();
}

// The keyboard goes back to the window the dialog was over, as a window
// manager would give it back (without one, X would leave it to nobody).
void GtkPageDialog::close() {
  GtkWindow* window = GTK_WINDOW(window_.get());
  if (!gtk_widget_get_visible(GTK_WIDGET(window))) return;  // closed already, or with its window
  GtkWindow* parent = gtk_window_get_transient_for(window);
  gtk_window_destroy(window);
  if (parent) gtk_window_present(parent);
}

void GtkPageDialog::answer(Answer answer) {
  WebKitScriptDialog* dialog = std::exchange(dialog_, nullptr);
  if (!dialog) return;
  const gboolean accepted = answer == Answer::Accept;
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, accepted);
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      webkit_script_dialog_prompt_set_text(dialog, accepted ? gtk_editable_get_text(GTK_EDITABLE(entry_)) : nullptr);
      break;
    case WEBKIT_SCRIPT_DIALOG_ALERT: break;
  }
  webkit_script_dialog_close(dialog);
  webkit_script_dialog_unref(dialog);
  close();
}

}  // namespace platform::gtk
