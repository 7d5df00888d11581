#include "app/BlorvikViewController.h"

#include "app/BannerInstaller.h"
#include "app/PrivacyChoice.h"
#include "app/PrivacyNotice.h"
#include "app/info.h"
#include "ads/core/GADBannerView.h"
#include "platform/Bundle.h"
#include "platform/SystemSound.h"

BlorvikViewController::BlorvikViewController() {
  registerAction("playSound:", [this] { playSound(); });
  registerAction("playSound2:", [this] { playSound2(); });
  registerAction("playSound3:", [this] { playSound3(); });
  registerAction("playSound4:", [this] { playSound4(); });
  registerAction("playSound5:", [this] { playSound5(); });
  registerAction("switchview:", [this] { switchview(); });
}

void BlorvikViewController::viewDidLoad() {
  ViewController::viewDidLoad();
  view()->setAccessibleRole(platform::AccessibleRole::Group);
  view()->setAccessibleName("Sound board");
  // The kept answer goes to the ad client before the banner's first request.
  PrivacyChoice::apply();
  bannerView_ = BannerInstaller::install(*this);
  if (!PrivacyChoice::hasAnswered()) {
    auto notice = PrivacyNotice::create(static_cast<float>(bannerView_->frame().y()));
    view()->addSubview(notice);
    privacyNotice_ = notice;
  }
}

std::shared_ptr<PrivacyNotice> BlorvikViewController::privacyNotice() const {
  auto notice = privacyNotice_.lock();
  return notice && notice->superview() ? notice : nullptr;
}

void BlorvikViewController::switchview() {
  presentModalViewController(std::make_shared<info>(), platform::Animated::Yes);
}

void BlorvikViewController::playClip(const std::string& name) {
  // Every press looks the clip up and registers it anew: nothing is cached.
  auto path = platform::Bundle::main().pathForResource(name, "wav");
  if (!path) return;
  auto sound = platform::SystemSound::create(*path);
  if (!sound) return;
  platform::SystemSound::play(*sound);
  // Playing has already taken the file; the registration is not needed again.
  platform::SystemSound::dispose(*sound);
}
