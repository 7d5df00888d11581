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
#include <utility>

#include "adnet/AdNetwork.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADEndpoints.h"
#include "ads/request/GADPrivacySettings.h"
#include "ads/request/GADRequest.h"
#include "platform/Application.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ViewController.h"
#include "platform/gtk/GtkEmbedding.h"
#include "tests/e2e/WindowTestMain.h"
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

// A host program's window with the banner in it, on the sandbox network.
class EmbeddingWindowTest : public ::testing::Test {
 protected:
  EmbeddingWindowTest() {
    GADEndpoints::setForTesting(
        GADEndpoints::Overrides{network.staticContentHost(), network.adServerBaseURL(), "127.0.0.1"});
    banner->setAdUnitID("a1b2c3d4e5f6071");
    banner->setRootViewController(controller.get());
    banner->setDelegate(events);
    gtk_window_set_child(GTK_WINDOW(window), platform::gtk::GtkEmbedding::widgetOf(*banner));
    gtk_window_present(GTK_WINDOW(window));
  }
  ~EmbeddingWindowTest() override {
    banner.reset();
    if (window) gtk_window_destroy(GTK_WINDOW(window));
  }

  adnet::AdNetwork network;
  GtkWidget* window = gtk_window_new();
  std::shared_ptr<platform::ViewController> controller = std::make_shared<platform::ViewController>();
  std::shared_ptr<BannerEvents> events = std::make_shared<BannerEvents>();
  std::shared_ptr<GADBannerView> banner = GADBannerView::create(platform::Rect(0, 0, 320, 50));
};

TEST_F(EmbeddingWindowTest, TheBannerFollowsTheHostsWindowAndKeepsItsTimingsWhenTheHostsLastWindowCloses) {
  network.behaviour().refreshRate = "20";
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
  gtk_window_destroy(GTK_WINDOW(std::exchange(window, nullptr)));
  const platform::Value* timings = storedTimings(reader);
  ASSERT_NE(timings, nullptr);
  ASSERT_TRUE(timings->isDictionary());
  EXPECT_NE(timings->asDictionary()->find("ptime"), nullptr) << "the time since the first request";
}

// The widgets under `root` whose text mentions `words`, labels and buttons.
int widgetsSaying(GtkWidget* root, const std::string& words) {
  int found = 0;
  const char* text = GTK_IS_LABEL(root) ? gtk_label_get_text(GTK_LABEL(root)) : nullptr;
  if (text && std::string(text).find(words) != std::string::npos) ++found;
  for (GtkWidget* child = gtk_widget_get_first_child(root); child; child = gtk_widget_get_next_sibling(child))
    found += widgetsSaying(child, words);
  return found;
}

TEST_F(EmbeddingWindowTest, TheHostDecidesAboutPersonalisedAdsThroughTheAPIAndTheLibraryNeverAsks) {
  const size_t windowsBefore = g_list_model_get_n_items(gtk_window_get_toplevels());
  auto identityOfNextRequest = [&] {
    const int before = events->received;
    banner->loadRequest(GADRequest::request());
    EXPECT_TRUE(runUntil([&] { return events->received > before; }));
    return network.adRequests().empty() ? std::string("(none)") : network.adRequests().back().parameters.at("isu");
  };

  EXPECT_EQ(GADPrivacySettings::personalisedAds(), GADPersonalisedAds::NotAsked);
  EXPECT_EQ(identityOfNextRequest(), std::string(32, '0')) << "the host has not decided";
  GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::Allowed);
  const std::string own = GADPrivacySettings::applicationIdentifier();
  EXPECT_NE(own, std::string(32, '0'));
  EXPECT_EQ(identityOfNextRequest(), own) << "the host allowed";
  GADPrivacySettings::resetIdentifier();
  EXPECT_NE(GADPrivacySettings::applicationIdentifier(), own);
  EXPECT_EQ(identityOfNextRequest(), GADPrivacySettings::applicationIdentifier()) << "the host reset it";
  GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::Declined);
  EXPECT_EQ(identityOfNextRequest(), std::string(32, '0')) << "the host declined";

  // Nothing of the library's asks the user: no window of its own, nothing
  // in the host's window but the banner.
  EXPECT_EQ(g_list_model_get_n_items(gtk_window_get_toplevels()), windowsBefore);
  EXPECT_EQ(widgetsSaying(window, "personalis"), 0);
  EXPECT_EQ(widgetsSaying(window, "Allow"), 0);
  GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::NotAsked);
}

}  // namespace

int main(int argc, char** argv) {
  return runWindowTests(argc, argv, [] {
    gtk_init();
    platform::gtk::GtkEmbedding::install();
  });
}
