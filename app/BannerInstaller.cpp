#include "app/BannerInstaller.h"

#include "BuildConfig.h"
#include "app/BannerWatcher.h"
#include "ads/core/GADBannerView.h"
#include "ads/request/GADRequest.h"
#include "platform/Application.h"
#include "platform/ViewController.h"

std::shared_ptr<GADBannerView> BannerInstaller::install(platform::ViewController& screen) {
  auto root = screen.view();
  const platform::Rect frame = root->frame();
  // The banner's frame is made of 32-bit floats, as the screens always did.
  const float y = static_cast<float>(frame.height()) - kBannerHeight;
  auto banner = GADBannerView::create(platform::Rect(0.0f, y, kBannerWidth, kBannerHeight));
  banner->setAdUnitID(config::kAdUnitID);
  banner->setRootViewController(&screen);
  banner->setDelegate(BannerWatcher::shared());
  platform::Application::shared().setAwaitsContent(true);
  root->addSubview(banner);
  banner->loadRequest(GADRequest::request());
  return banner;
}
