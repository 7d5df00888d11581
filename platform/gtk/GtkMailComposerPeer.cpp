#include "platform/gtk/GtkMailComposerPeer.h"

namespace platform::gtk {

namespace {
std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// Comma-separated addresses, trimmed, blanks dropped.
std::vector<std::string> addresses(const char* text) {
  std::vector<std::string> result;
  std::string current;
  auto flush = [&] {
    const size_t first = current.find_first_not_of(" \t");
    if (first != std::string::npos) result.push_back(current.substr(first, current.find_last_not_of(" \t") - first + 1));
    current.clear();
  };
  for (const char* c = text; *c; ++c) {
    if (*c == ',')
      flush();
    else
      current += *c;
  }
  flush();
  return result;
}

const char* entryText(GtkWidget* entry) { return gtk_editable_get_text(GTK_EDITABLE(entry)); }

GtkWidget* addRow(GtkGrid* grid, int row, const char* label) {
  GtkWidget* name = gtk_label_new(label);
  gtk_widget_set_halign(name, GTK_ALIGN_END);
  GtkWidget* entry = gtk_entry_new();
  gtk_widget_set_hexpand(entry, TRUE);
  gtk_accessible_update_property(GTK_ACCESSIBLE(entry), GTK_ACCESSIBLE_PROPERTY_LABEL, label, -1);
  gtk_grid_attach(grid, name, 0, row, 1, 1);
  gtk_grid_attach(grid, entry, 1, row, 1, 1);
  return entry;
}
}  // namespace

GtkMailComposerPeer::GtkMailComposerPeer(std::weak_ptr<MailComposerClient> client)
    : GtkPeer(gtk_box_new(GTK_ORIENTATION_VERTICAL, 6)), client_(std::move(client)) {
  GtkWidget* form = widget();
  gtk_widget_add_css_class(form, "background");
  // Inset by padding: margins would grow the form, and the window, beyond
  // the screen's frame.
  gtk_css_provider_load_from_data(addStyleProvider(form).get(), "* { padding: 8px; }", -1);

  GtkWidget* bar = gtk_center_box_new();
  GtkWidget* cancel = gtk_button_new_with_label("Cancel");
  GtkWidget* send = gtk_button_new_with_label("Send");
  gtk_widget_add_css_class(send, "suggested-action");
  gtk_center_box_set_start_widget(GTK_CENTER_BOX(bar), cancel);
  gtk_center_box_set_center_widget(GTK_CENTER_BOX(bar), gtk_label_new("New Message"));
  gtk_center_box_set_end_widget(GTK_CENTER_BOX(bar), send);
  gtk_box_append(GTK_BOX(form), bar);

  GtkWidget* grid = gtk_grid_new();
  gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
  gtk_grid_set_column_spacing(GTK_GRID(grid), 6);
  to_ = addRow(GTK_GRID(grid), 0, "To:");
  cc_ = addRow(GTK_GRID(grid), 1, "Cc:");
  bcc_ = addRow(GTK_GRID(grid), 2, "Bcc:");
  subject_ = addRow(GTK_GRID(grid), 3, "Subject:");
  gtk_box_append(GTK_BOX(form), grid);

  GtkWidget* body = gtk_text_view_new();
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(body), GTK_WRAP_WORD_CHAR);
  gtk_accessible_update_property(GTK_ACCESSIBLE(body), GTK_ACCESSIBLE_PROPERTY_LABEL, "Body", -1);
  body_ = gtk_text_view_get_buffer(GTK_TEXT_VIEW(body));
  GtkWidget* scroller = gtk_scrolled_window_new();
  gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scroller), body);
  gtk_widget_set_vexpand(scroller, TRUE);
  gtk_box_append(GTK_BOX(form), scroller);

  auto onSend = +[](GtkButton*, gpointer data) {
    if (auto client = static_cast<GtkMailComposerPeer*>(data)->client_.lock()) client->peerDidSend();
  };
  auto onCancel = +[](GtkButton*, gpointer data) {
    if (auto client = static_cast<GtkMailComposerPeer*>(data)->client_.lock()) client->peerDidCancel();
  };
  send_ = ScopedSignal(send, g_signal_connect(send, "clicked", G_CALLBACK(onSend), this));
  cancel_ = ScopedSignal(cancel, g_signal_connect(cancel, "clicked", G_CALLBACK(onCancel), this));
}

void GtkMailComposerPeer::setFields(const MailFields& fields) {
  gtk_editable_set_text(GTK_EDITABLE(to_), joined(fields.to).c_str());
  gtk_editable_set_text(GTK_EDITABLE(cc_), joined(fields.cc).c_str());
  gtk_editable_set_text(GTK_EDITABLE(bcc_), joined(fields.bcc).c_str());
  gtk_editable_set_text(GTK_EDITABLE(subject_), fields.subject.c_str());
  gtk_text_buffer_set_text(body_, fields.body.c_str(), -1);
}

MailFields GtkMailComposerPeer::fields() const {
  MailFields fields;
  // The to-recipient stays as written: a page's text before "?" is one entry.
  fields.to = {entryText(to_)};
  if (fields.to.front().empty()) fields.to.clear();
  fields.cc = addresses(entryText(cc_));
  fields.bcc = addresses(entryText(bcc_));
  fields.subject = entryText(subject_);
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(body_, &start, &end);
  char* body = gtk_text_buffer_get_text(body_, &start, &end, FALSE);
  fields.body = body;
  g_free(body);
  return fields;
}

}  // namespace platform::gtk
