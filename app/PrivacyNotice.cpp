#include "app/PrivacyNotice.h"

#include "app/PrivacyChoice.h"
#include "platform/Button.h"
#include "platform/Label.h"

std::shared_ptr<PrivacyNotice> PrivacyNotice::create(float bottom) {
  auto notice = View::make<PrivacyNotice>(platform::Rect(0, bottom - kHeight, 320, kHeight));
  notice->build();
  return notice;
}

PrivacyNotice::PrivacyNotice(const platform::Rect& frame) : View(frame) {}

void PrivacyNotice::build() {
  setBackgroundColor(platform::Color::white());
  text_ = platform::Label::create(platform::Rect(10, 4, 300, 36), kText);
  decline_ = platform::Button::create(platform::Rect(58, 42, 100, 32), kDeclineTitle);
  allow_ = platform::Button::create(platform::Rect(166, 42, 100, 32), kAllowTitle);
  // The buttons hold the notice weakly: it owns them.
  std::weak_ptr<PrivacyNotice> weak = std::static_pointer_cast<PrivacyNotice>(shared_from_this());
  allow_->setAction([weak] {
    if (auto self = weak.lock()) self->answer(true);
  });
  decline_->setAction([weak] {
    if (auto self = weak.lock()) self->answer(false);
  });
  addSubview(text_);
  addSubview(decline_);
  addSubview(allow_);
}

void PrivacyNotice::answer(bool allow) {
  PrivacyChoice::answer(allow);
  // The superview lets the notice go; keep it alive to the end of this call.
  auto self = shared_from_this();
  removeFromSuperview();
}
