// Whether a screenshot of the application's window shows a sandbox ad in
// its banner: most of the bottom 50 rows in one of the sandbox creatives'
// colours. For the installed application's check (tests/installed-app).
//   shot_shows_ad SCREENSHOT.png
#include <cstdio>

#include "adnet/AdNetwork.h"
#include "tests/e2e/ScreenshotPixels.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shot_shows_ad SCREENSHOT.png\n");
    return 2;
  }
  const ScreenshotPixels shot(argv[1]);
  if (!shot.isLoaded()) {
    std::fprintf(stderr, "shot_shows_ad: cannot read %s\n", argv[1]);
    return 2;
  }
  constexpr int kBannerHeight = 50;
  const int banner = shot.width() * kBannerHeight;
  for (int creative = 0; creative < adnet::AdNetwork::kCreativeCount; ++creative) {
    const auto colour = ScreenshotPixels::fromHex(adnet::AdNetwork::creativeColour(creative));
    const int matching = shot.count(0, shot.height() - kBannerHeight, shot.width(), kBannerHeight,
                                    [&](const ScreenshotPixels::Colour& c) { return c.near(colour); });
    if (matching > banner / 2) {
      std::printf("the banner shows sandbox creative %d (%d of %d pixels)\n", creative, matching, banner);
      return 0;
    }
  }
  std::fprintf(stderr, "shot_shows_ad: no sandbox ad in the banner of %s\n", argv[1]);
  return 1;
}
