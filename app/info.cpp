#include "app/info.h"

#include "app/BannerInstaller.h"
#include "ads/core/GADBannerView.h"

info::info() { registerAction("back:", [this] { back(); }); }

void info::viewDidLoad() {
  ViewController::viewDidLoad();
  bannerView_ = BannerInstaller::install(*this);
}

void info::back() { dismissModalViewControllerAnimated(platform::Animated::Yes); }

bool info::escapePressed() {
  back();
  return true;
}
