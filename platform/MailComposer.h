// A screen for writing one mail: To, Cc, Bcc, Subject and Body, with Send
// and Cancel. The desktop sends nothing itself: Send hands the composed
// "mailto:" URI to the desktop's mail client (GIO's default handler), where
// the user sends it. Both buttons report to the delegate, which dismisses
// the screen. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/ViewController.h"

namespace platform {

class MailComposer;

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

struct MailFields {
  std::vector<std::string> to, cc, bcc;
  std::string subject, body;
  bool operator==(const MailFields&) const = default;
};

class MailComposerDelegate {
 public:
  virtual ~MailComposerDelegate() = default;
  virtual void mailComposeControllerDidFinishWithResult(MailComposer& composer, MailComposeResult result,
                                                        const std::optional<Error>& error) = 0;
};

// What the composer's peer calls back.
class MailComposerClient {
 public:
  virtual ~MailComposerClient() = default;
  virtual void peerDidSend() = 0;
  virtual void peerDidCancel() = 0;
};

// The toolkit's form: it shows the fields and hands back what the user
// made of them.
class MailComposerPeer : public ViewPeer {
 public:
  virtual void setFields(const MailFields& fields) = 0;
  virtual MailFields fields() const = 0;
};

class MailComposer : public ViewController, public MailComposerClient {
 public:
  // Whether the desktop has a mail client to hand a composed mail to.
  static bool canSendMail();
  // "mailto:" with the to-recipients joined by commas, then "cc", "bcc",
  // "subject" and "body" as query fields; everything but the separators
  // percent-escaped.
  static std::string mailtoURI(const MailFields& fields);

  MailComposer() = default;
  std::string className() const override { return "MailComposer"; }

  // Not retained: cleared when the delegate goes.
  void setMailComposeDelegate(std::weak_ptr<MailComposerDelegate> delegate) { delegate_ = std::move(delegate); }
  void setToRecipients(std::vector<std::string> to);
  void setCcRecipients(std::vector<std::string> cc);
  void setBccRecipients(std::vector<std::string> bcc);
  void setSubject(std::string subject);
  // The desktop composes plain text only: an HTML body is sent as text.
  void setMessageBody(std::string body, bool isHTML);
  // The fields as the user has them now.
  MailFields fields() const;

  // The buttons' work, also callable directly.
  void send();
  void cancel();
  void peerDidSend() override { send(); }
  void peerDidCancel() override { cancel(); }

 protected:
  void loadView() override;

 private:
  void pushFields();
  void finish(MailComposeResult result, const std::optional<Error>& error);

  MailFields fields_;
  std::weak_ptr<MailComposerDelegate> delegate_;
  MailComposerPeer* formPeer_ = nullptr;  // the root view's peer, typed
};

}  // namespace platform
