// The mail composer's form: Cancel and Send above entries for To, Cc, Bcc
// and Subject and a text area for the body. Addresses are shown and read
// back comma-separated.
#pragma once

#include <memory>

#include "platform/MailComposer.h"
#include "platform/gtk/GtkPeer.h"

namespace platform::gtk {

class GtkMailComposerPeer final : public GtkPeer<MailComposerPeer> {
 public:
  explicit GtkMailComposerPeer(std::weak_ptr<MailComposerClient> client);
  void setFields(const MailFields& fields) override;
  MailFields fields() const override;

 private:
  std::weak_ptr<MailComposerClient> client_;
  // Owned by the form.
  GtkWidget* to_ = nullptr;
  GtkWidget* cc_ = nullptr;
  GtkWidget* bcc_ = nullptr;
  GtkWidget* subject_ = nullptr;
  GtkTextBuffer* body_ = nullptr;
  ScopedSignal send_;
  ScopedSignal cancel_;
};

}  // namespace platform::gtk
