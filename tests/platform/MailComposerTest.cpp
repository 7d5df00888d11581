#include "platform/MailComposer.h"

#include <string>
#include <vector>

#include "platform/Application.h"
#include "platform/headless/HeadlessMailComposerPeer.h"
#include "tests/support/PlatformTest.h"

using platform::MailComposeResult;
using platform::MailComposer;
using platform::MailFields;

namespace {

class RecordingDelegate : public platform::MailComposerDelegate {
 public:
  void mailComposeControllerDidFinishWithResult(MailComposer&, MailComposeResult result,
                                                const std::optional<platform::Error>& error) override {
    results.push_back(result);
    failed = error.has_value();
  }
  std::vector<MailComposeResult> results;
  bool failed = false;
};

class MailComposerTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    platform::Application::shared().setOpenURLForTesting([this](const std::string& url) {
      opened.push_back(url);
      return accepts;
    });
    composer = std::make_shared<MailComposer>();
    composer->setMailComposeDelegate(delegate);
  }
  platform::HeadlessMailComposerPeer& form() {
    return *static_cast<platform::HeadlessMailComposerPeer*>(composer->view()->peer());
  }

  std::vector<std::string> opened;
  bool accepts = true;
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  std::shared_ptr<MailComposer> composer;
};

TEST_F(MailComposerTest, TheURIEscapesWhatWouldBreakItAndLeavesOutEmptyFields) {
  MailFields fields;
  fields.to = {"a@example.test", "b@example.test"};
  fields.bcc = {"c@example.test"};
  fields.subject = "Hi & bye?";
  fields.body = "line one\nline #2";
  EXPECT_EQ(MailComposer::mailtoURI(fields),
            "mailto:a@example.test,b@example.test?bcc=c@example.test&subject=Hi%20%26%20bye%3F"
            "&body=line%20one%0Aline%20%232");
  EXPECT_EQ(MailComposer::mailtoURI({}), "mailto:");
}

TEST_F(MailComposerTest, TheFormShowsTheFieldsSetBeforeAndAfterItLoads) {
  composer->setToRecipients({"a@example.test"});
  composer->setSubject("Before");
  EXPECT_EQ(form().fields().to, (std::vector<std::string>{"a@example.test"}));
  composer->setMessageBody("After", false);
  EXPECT_EQ(form().fields().subject, "Before");
  EXPECT_EQ(form().fields().body, "After");
}

TEST_F(MailComposerTest, SendHandsWhatTheUserWroteToTheMailClient) {
  composer->setToRecipients({"a@example.test"});
  MailFields edited = form().fields();
  edited.subject = "Edited";
  form().edit(edited);
  form().pressSend();
  EXPECT_EQ(opened, (std::vector<std::string>{"mailto:a@example.test?subject=Edited"}));
  EXPECT_EQ(delegate->results, (std::vector<MailComposeResult>{MailComposeResult::Sent}));
}

TEST_F(MailComposerTest, ARefusedHandOverIsAFailureAndCancelSendsNothing) {
  accepts = false;
  form().pressSend();
  EXPECT_EQ(delegate->results, (std::vector<MailComposeResult>{MailComposeResult::Failed}));
  EXPECT_TRUE(delegate->failed);
  opened.clear();
  form().pressCancel();
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(delegate->results.back(), MailComposeResult::Cancelled);
  EXPECT_FALSE(delegate->failed);
}

}  // namespace
