// The first run's question about personalised ads: a strip above the main
// screen's banner with a line of text and two buttons, not a dialog, so the
// sound board stays usable while it is up. Either answer keeps the answer
// (PrivacyChoice) and takes the strip away.
#pragma once

#include <memory>

#include "platform/View.h"

namespace platform {
class Button;
class Label;
}  // namespace platform

class PrivacyNotice : public platform::View {
 public:
  static constexpr const char* kText = "Ads in this app may be personalised using an identifier of this app.";
  static constexpr const char* kAllowTitle = "Allow";
  static constexpr const char* kDeclineTitle = "No thanks";
  static constexpr float kHeight = 80;

  // 320 points wide, its bottom edge at `bottom` of its superview.
  static std::shared_ptr<PrivacyNotice> create(float bottom);
  explicit PrivacyNotice(const platform::Rect& frame);

  const std::shared_ptr<platform::Label>& text() const { return text_; }
  const std::shared_ptr<platform::Button>& allowButton() const { return allow_; }
  const std::shared_ptr<platform::Button>& declineButton() const { return decline_; }

 private:
  void build();
  void answer(bool allow);

  std::shared_ptr<platform::Label> text_;
  std::shared_ptr<platform::Button> allow_;
  std::shared_ptr<platform::Button> decline_;
};
