// A page's alert, confirm, prompt or leave-page question, asked by the
// application itself rather than drawn by WebKit inside the web view: a
// small modal window, transient for the page's window and sized to fit it,
// that names the site asking, shows the page's text wrapped and has
// labelled buttons ("OK" and "Cancel"; "Leave" and "Stay" for a leave-page
// question; a prompt has an entry holding the page's default text).
// Return gives the default answer (OK, Leave), Escape or closing the window
// the other one (Cancel, Stay); the pointer answers with the buttons.
//
// The page's text is untrusted. It is shown as plain text, never markup;
// at most kMaximumMessageCharacters of it, then an ellipsis, in a part that
// scrolls rather than grows past the window's height; a prompt's default
// text is cut to kMaximumPromptCharacters. The site named is the main
// frame's, with its end kept when it is too long to show whole (WebKit does
// not say which frame asked). A leave-page question shows our own words,
// not the page's.
//
// WebKit waits for the answer: this holds a reference to WebKit's dialog
// until the person answers, or until this goes (its web view's peer goes,
// the page's process ends, another page replaces it), when the dialog is
// answered as dismissed and its window closed. Main thread only.
#pragma once

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <memory>

#include "platform/gtk/GObjectPtr.h"

namespace platform::gtk {

class GtkPageDialog {
 public:
  static constexpr long kMaximumMessageCharacters = 1000;
  static constexpr long kMaximumPromptCharacters = 1000;

  // Shows `dialog`, which `page`'s page asked for, over `page`'s window and
  // takes a reference to it (the caller answers WebKit's signal TRUE).
  // When `page` is in no window nobody could answer: `dialog` is answered
  // as dismissed at once, and the result is null.
  static std::unique_ptr<GtkPageDialog> show(WebKitWebView* page, WebKitScriptDialog* dialog);
  // Answers as dismissed if the person has not answered, and closes the window.
  ~GtkPageDialog();
  GtkPageDialog(const GtkPageDialog&) = delete;
  GtkPageDialog& operator=(const GtkPageDialog&) = delete;

  // The window is up and WebKit waits for its answer.
  bool isWaiting() const { return dialog_ != nullptr; }

  // What a dialog nobody answered tells the page: a confirm is false, a
  // prompt null, and a leave-page question leaves (leaving is what the user
  // or the client asked for; a page may not keep itself on screen).
  static void answerDismissed(WebKitScriptDialog* dialog);

 private:
  enum class Answer { Accept, Decline };
  GtkPageDialog(GtkWindow* parent, WebKitWebView* page, WebKitScriptDialog* dialog);
  // Tells WebKit the person's answer, lets go of its dialog and closes the window.
  void answer(Answer answer);
  // Closes the window, if it is still up, giving its parent back the keyboard.
  void close();
  static void onAccept(GtkButton*, gpointer self);
  static void onDecline(GtkButton*, gpointer self);
  static gboolean onKeyPressed(GtkEventControllerKey*, guint key, guint, GdkModifierType, gpointer self);
  static gboolean onCloseRequest(GtkWindow*, gpointer self);

  WebKitScriptDialog* dialog_;  // our reference, while WebKit waits
  GObjectPtr<GtkWidget> window_;
  GtkWidget* entry_ = nullptr;  // a prompt's, owned by the window
  ScopedSignal accept_, decline_, keys_, closeRequest_;
};

}  // namespace platform::gtk
