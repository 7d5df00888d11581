#include "platform/MailComposer.h"

#include <glib.h>

#include "platform/Application.h"
#include "platform/PeerFactory.h"
#include "platform/Screen.h"
#include "platform/Toolkit.h"

namespace platform {

namespace {
std::string escaped(const std::string& text, const char* allowed) {
  char* escapedText = g_uri_escape_string(text.c_str(), allowed, FALSE);
  std::string result(escapedText);
  g_free(escapedText);
  return result;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) {
    if (!text.empty()) text += ',';
    text += part;
  }
  return text;
}
}  // namespace

bool MailComposer::canSendMail() { return Application::shared().canOpenURL("mailto:"); }

std::string MailComposer::mailtoURI(const MailFields& fields) {
  // Addresses keep their "@" and the commas between them; everything else
  // a field holds ("&", "?", "#", line breaks) is escaped.
  std::string uri = "mailto:" + escaped(joined(fields.to), "@,");
  char separator = '?';
  auto add = [&](const char* key, const std::string& value, const char* allowed) {
    if (value.empty()) return;
    uri += separator;
    uri += key;
    uri += '=';
    uri += escaped(value, allowed);
    separator = '&';
  };
  add("cc", joined(fields.cc), "@,");
  add("bcc", joined(fields.bcc), "@,");
  add("subject", fields.subject, nullptr);
  add("body", fields.body, nullptr);
  return uri;
}

void MailComposer::loadView() {
  auto self = std::static_pointer_cast<MailComposer>(shared_from_this());
  auto peer = Toolkit::current().peers().createMailComposerPeer(std::weak_ptr<MailComposerClient>(self));
  formPeer_ = peer.get();
  setView(View::createWithPeer(Screen::main().applicationFrame().bounds(), std::move(peer)));
  pushFields();
}

void MailComposer::setToRecipients(std::vector<std::string> to) {
  fields_.to = std::move(to);
  pushFields();
}

void MailComposer::setCcRecipients(std::vector<std::string> cc) {
  fields_.cc = std::move(cc);
  pushFields();
}

void MailComposer::setBccRecipients(std::vector<std::string> bcc) {
  fields_.bcc = std::move(bcc);
  pushFields();
}

void MailComposer::setSubject(std::string subject) {
  fields_.subject = std::move(subject);
  pushFields();
}

void MailComposer::setMessageBody(std::string body, bool) {
  fields_.body = std::move(body);
  pushFields();
}

MailFields MailComposer::fields() const { return formPeer_ ? formPeer_->fields() : fields_; }

void MailComposer::pushFields() {
  if (formPeer_) formPeer_->setFields(fields_);
}

void MailComposer::send() {
  const std::string uri = mailtoURI(fields());
  if (Application::shared().openURL(uri)) {
    finish(MailComposeResult::Sent, std::nullopt);
  } else {
    finish(MailComposeResult::Failed, Error{"MailComposer", 1, "No mail client accepted " + uri, nullptr});
  }
}

void MailComposer::cancel() { finish(MailComposeResult::Cancelled, std::nullopt); }

void MailComposer::finish(MailComposeResult result, const std::optional<Error>& error) {
  // The delegate usually dismisses, which may release this screen.
  auto self = shared_from_this();
  if (auto delegate = delegate_.lock()) delegate->mailComposeControllerDidFinishWithResult(*this, result, error);
}

}  // namespace platform
