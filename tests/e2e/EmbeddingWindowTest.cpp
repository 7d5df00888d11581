// The banner embedded in another GTK 4 program's window, as the installed
// library is used: the host runs its own main loop and windows, and the
// client follows them (an unseen banner does not refresh; what is kept at
// exit is kept when the host's last window goes). Run under xvfb-run.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

#include "adnet/AdNetwork.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADEndpoints.h"
#include "ads/request/GADRequest.h"
#include "platform/Application.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ViewController.h"
#include "platform/gtk/GtkEmbedding.h"
#include "tests/e2e/ScratchHome.h"
#include "tests/support/BannerEvents.h"

using platform::RunLoop;

namespace {

bool runUntil(const std::function<bool()>& condition, double seconds = 20) {
  return RunLoop::main().runUntil(condition, seconds);
}

// What the preferences file holds now, read afresh as the next run would.
const platform::Value* storedTimings(std::unique_ptr<platform::UserDefaults>& reader) {
  reader = std::make_unique<platform::UserDefaults>(platform::UserDefaults::standard().file());
  return reader->objectForKey("rezido_timing_shared");
}

TEST(EmbeddingWindowTest, TheBannerFollowsTheHostsWindowAndKeepsItsTimingsWhenTheHostsLastWindowCloses) {
  adnet::AdNetwork network;
  network.behaviour().refreshRate = "20";
  GADEndpoints::setForTesting(
      GADEndpoints::Overrides{network.staticContentHost(), network.adServerBaseURL(), "127.0.0.1"});

  GtkWidget* window = gtk_window_new();
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  auto controller = std::make_shared<platform::ViewController>();
  auto events = std::make_shared<BannerEvents>();
  auto banner = GADBannerView::create(platform::Rect(0, 0, 320, 50));
  banner->setAdUnitID("a1b2c3d4e5f6071");
  banner->setRootViewController(controller.get());
  banner->setDelegate(events);
  gtk_box_append(GTK_BOX(box), platform::gtk::GtkEmbedding::widgetOf(*banner));
  gtk_window_set_child(GTK_WINDOW(window), box);
  gtk_window_present(GTK_WINDOW(window));
  banner->loadRequest(GADRequest::request());
  ASSERT_TRUE(runUntil([&] { return events->received == 1; }));
  EXPECT_TRUE(platform::Application::shared().isVisible());

  // Hidden, the host's window shows no banner: nothing refreshes, however
  // long; shown again, the refresh comes.
  RunLoop::main().useManualTimeForTesting();
  gtk_widget_set_visible(window, FALSE);
  EXPECT_FALSE(platform::Application::shared().isVisible());
  RunLoop::main().advanceForTesting(120);
  RunLoop::main().runFor(0.3);
  EXPECT_EQ(network.adRequests().size(), 1u);
  gtk_widget_set_visible(window, TRUE);
  EXPECT_TRUE(platform::Application::shared().isVisible());
  RunLoop::main().advanceForTesting(20);
  RunLoop::main().useRealTimeForTesting();
  ASSERT_TRUE(runUntil([&] { return events->received == 2; }));
  EXPECT_EQ(network.adRequests().size(), 2u);

  // The timings are kept when the host's last window goes, not before.
  std::unique_ptr<platform::UserDefaults> reader;
  EXPECT_EQ(storedTimings(reader), nullptr);
  gtk_window_destroy(GTK_WINDOW(window));
  const platform::Value* timings = storedTimings(reader);
  ASSERT_NE(timings, nullptr);
  ASSERT_TRUE(timings->isDictionary());
  EXPECT_NE(timings->asDictionary()->find("ptime"), nullptr) << "the time since the first request";
  banner.reset();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("TZ", "UTC", 1);
  std::setlocale(LC_ALL, "C");
  // Every folder the client keeps things in is under the scratch home.
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) unsetenv(name);
  ScratchHome home;
  if (!home.made()) return 2;
  ::testing::InitGoogleTest(&argc, argv);
  gtk_init();
  platform::gtk::GtkEmbedding::install();
  return RUN_ALL_TESTS();
}
