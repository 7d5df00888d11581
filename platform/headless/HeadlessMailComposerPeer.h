// A headless mail form: holds the fields and lets a test edit them and
// press Send or Cancel as the user would.
#pragma once

#include <memory>
#include <string>

#include "platform/MailComposer.h"
#include "platform/headless/HeadlessPeer.h"

namespace platform {

class HeadlessMailComposerPeer final : public HeadlessPeer<MailComposerPeer> {
 public:
  explicit HeadlessMailComposerPeer(std::weak_ptr<MailComposerClient> client) : client_(std::move(client)) {}
  void setFields(const MailFields& fields) override { fields_ = fields; }
  MailFields fields() const override { return fields_; }

  // The user's side: editing, then one of the two buttons.
  void edit(const MailFields& fields) { fields_ = fields; }
  void pressSend() {
    if (auto client = client_.lock()) client->peerDidSend();
  }
  void pressCancel() {
    if (auto client = client_.lock()) client->peerDidCancel();
  }

 private:
  std::weak_ptr<MailComposerClient> client_;
  MailFields fields_;
};

}  // namespace platform
