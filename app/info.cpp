#include "app/info.h"

#include "app/BannerInstaller.h"
#include "app/PrivacyChoice.h"
#include "ads/core/GADBannerView.h"
#include "ads/request/GADPrivacySettings.h"
#include "platform/Button.h"
#include "platform/Label.h"
#include "platform/Switch.h"

info::info() {
  registerAction("back:", [this] { back(); });
}

void info::viewDidLoad() {
  ViewController::viewDidLoad();
  view()->setAccessibleRole(platform::AccessibleRole::Group);
  view()->setAccessibleName("About Blorvik");
  bannerView_ = BannerInstaller::install(*this);
  // The privacy controls, between the text and the banner.
  const float top = static_cast<float>(bannerView_->frame().y()) - 92;
  auto label = platform::Label::create(platform::Rect(20, top, 200, 32), kPersonalisedAdsTitle);
  personalisedAds_ = platform::Switch::create(platform::Rect(236, top + 3, 54, 26), kPersonalisedAdsTitle);
  personalisedAds_->setOn(GADPrivacySettings::allowsPersonalisedAds());
  personalisedAds_->setAction([](bool on) { PrivacyChoice::answer(on); });
  resetIdentifier_ = platform::Button::create(platform::Rect(30, top + 44, 260, 34), kResetTitle);
  resetIdentifier_->setAction([] { GADPrivacySettings::resetIdentifier(); });
  view()->addSubview(label);
  view()->addSubview(personalisedAds_);
  view()->addSubview(resetIdentifier_);
}

void info::back() { dismissModalViewControllerAnimated(platform::Animated::Yes); }

bool info::escapePressed() {
  back();
  return true;
}
