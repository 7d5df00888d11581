// What the ad requests that the sandbox network receives say about the user
// and the machine, before a choice, after each answer and after the info
// screen's controls. Headless: the fixture plays the core script's part
// and the sandbox serves and records the ad requests.
#include <openssl/evp.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "adnet/AdNetwork.h"
#include "ads/codec/GAD_TamskJSON.h"
#include "ads/core/GADBannerView.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADPrivacySettings.h"
#include "ads/request/GADRequest.h"
#include "app/PrivacyChoice.h"
#include "app/info.h"
#include "platform/Button.h"
#include "platform/FileManager.h"
#include "platform/Switch.h"
#include "platform/URL.h"
#include "platform/URLRequest.h"
#include "platform/headless/HeadlessButtonPeer.h"
#include "platform/headless/HeadlessSwitchPeer.h"
#include "platform/headless/HeadlessWebViewPeer.h"
#include "tests/support/AdsTest.h"
#include "tests/support/WorkerFolders.h"

using platform::HeadlessWebViewPeer;

namespace {

const std::string kZeros(32, '0');

class PrivacyRequestTest : public AdsTest {
 protected:
  void SetUp() override {
    AdsTest::SetUp();
    caches = std::filesystem::temp_directory_path() / ("privacy-test-" + std::to_string(getpid()));
    removeFolderAfterWorkers(caches);
    platform::FileManager::setCachesDirectoryForTesting(caches);
    network = std::make_unique<adnet::AdNetwork>();
    GADEndpoints::setForTesting(
        GADEndpoints::Overrides{network->staticContentHost(), network->adServerBaseURL(), "127.0.0.1"});
    // The info screen's banner makes the first request as the screen loads.
    screen = std::make_shared<info>();
    screen->view();
  }
  void TearDown() override {
    screen.reset();
    network.reset();
    platform::FileManager::setCachesDirectoryForTesting(std::nullopt);
    removeFolderAfterWorkers(caches);
    AdsTest::TearDown();
  }

  GADObjectPrivate& loader() { return *screen->bannerView()->privateObject(); }
  // Plays the core script: the parameters the build-ad page was given go
  // on the ad URL, which the client then fetches from the sandbox.
  const adnet::AdRequestRecord& answerTheRequest() {
    const size_t before = network->adRequests().size();
    EXPECT_TRUE(runUntil([&] {
      auto* page = loader().buildAdWebView();
      return page && !HeadlessWebViewPeer::of(*page)->loads().empty();
    }));
    auto* page = HeadlessWebViewPeer::of(*loader().buildAdWebView());
    const std::string html = page->loads().back().html;
    const std::string call = "<script>ZOVO_buildAdURL(";
    const size_t start = html.find(call) + call.size();
    const auto parameters = GAD_TamskJSON().objectWithString(html.substr(start, html.find(");</script>", start) - start));
    std::string url = network->adServerBaseURL() + "ad?";
    for (const auto& [key, value] : *parameters->asDictionary()) {
      const std::string text = value.asDictionary() ? GAD_TamskJSON().stringWithObject(value).value_or("")
                                                    : GADNetworkUtilities::textOfValue(value);
      url += GADNetworkUtilities::encodeURL(key) + "=" + GADNetworkUtilities::encodeURL(text) + "&";
    }
    url.pop_back();
    page->decide(platform::URLRequest(*platform::URL::create("gmsg://zovo/loadAdURL?url=" +
                                                             GADNetworkUtilities::encodeURL(url) + "&type=vaver")),
                 platform::NavigationType::Other);
    EXPECT_TRUE(runUntil([&] { return loader().state() == kGADObjectStateRenderingAd; }));
    HeadlessWebViewPeer::of(*loader().webView())->finish();
    EXPECT_EQ(network->adRequests().size(), before + 1);
    return network->adRequests().back();
  }
  // The banner's next request, made with a location hint.
  const adnet::AdRequestRecord& nextRequest() {
    auto request = GADRequest::request();
    request->setLocationWithDescription("Paris");
    screen->bannerView()->loadRequest(request);
    return answerTheRequest();
  }
  static std::string identity(const adnet::AdRequestRecord& record) {
    auto found = record.parameters.find("isu");
    const std::string isu = found == record.parameters.end() ? "(none)" : found->second;
    return isu + (record.parameters.contains("uule") ? " with location" : " without location");
  }
  void flipSwitch() { dynamic_cast<platform::HeadlessSwitchPeer*>(screen->personalisedAdsSwitch()->peer())->flipByUser(); }
  void pressReset() { dynamic_cast<platform::HeadlessButtonPeer*>(screen->resetIdentifierButton()->peer())->tap(); }

  std::filesystem::path caches;
  std::unique_ptr<adnet::AdNetwork> network;
  std::shared_ptr<info> screen;
};

TEST_F(PrivacyRequestTest, TheIdentifierAndLocationGoOnlyWithTheUsersLeaveAndEveryChangeActsOnTheNextRequest) {
  const auto& first = answerTheRequest();
  EXPECT_EQ(identity(first), kZeros + " without location") << "before a choice";
  EXPECT_FALSE(screen->personalisedAdsSwitch()->isOn());
  EXPECT_EQ(identity(nextRequest()), kZeros + " without location") << "before a choice, with a location hint";

  PrivacyChoice::answer(false);
  EXPECT_EQ(identity(nextRequest()), kZeros + " without location") << "after No thanks";

  flipSwitch();  // on, on the info screen
  const std::string own = GADPrivacySettings::applicationIdentifier();
  const auto& allowed = nextRequest();
  EXPECT_EQ(identity(allowed), own + " with location") << "after allowing";
  ASSERT_TRUE(allowed.location.has_value());
  EXPECT_NE(allowed.location->find("loc: \"Paris\""), std::string::npos) << *allowed.location;

  pressReset();
  const std::string renewed = GADPrivacySettings::applicationIdentifier();
  EXPECT_NE(renewed, own);
  EXPECT_EQ(identity(nextRequest()), renewed + " with location") << "after a reset";

  flipSwitch();  // off again
  EXPECT_EQ(PrivacyChoice::stored(), GADPersonalisedAds::Declined);
  EXPECT_EQ(identity(nextRequest()), kZeros + " without location") << "after switching off";
}

// Every digest of `text` a careless client might send, in both cases.
std::vector<std::string> digestsOf(const std::string& text) {
  std::vector<std::string> texts;
  for (const EVP_MD* kind : {EVP_md5(), EVP_sha1(), EVP_sha256()}) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, kind, nullptr);
    std::string upper, lower;
    for (unsigned int i = 0; i < length; ++i) {
      static constexpr char kUpper[] = "0123456789ABCDEF", kLower[] = "0123456789abcdef";
      upper += {kUpper[digest[i] >> 4], kUpper[digest[i] & 0xF]};
      lower += {kLower[digest[i] >> 4], kLower[digest[i] & 0xF]};
    }
    texts.push_back(upper);
    texts.push_back(lower);
  }
  return texts;
}

TEST_F(PrivacyRequestTest, NoRequestCarriesTheMachineIdentifierTheHostNameOrADigestOfEither) {
  std::vector<std::string> machineWide;
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::string id;
    std::getline(std::ifstream(path), id);
    if (id.empty()) continue;
    machineWide.push_back(id);
    for (const std::string& text : {id, id + "\n"})
      for (const std::string& digest : digestsOf(text)) machineWide.push_back(digest);
  }
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0 && std::string(host).size() >= 4) {
    machineWide.push_back(host);
    for (const std::string& digest : digestsOf(host)) machineWide.push_back(digest);
  }
  ASSERT_FALSE(machineWide.empty()) << "this machine has neither a machine identifier nor a host name";

  answerTheRequest();
  GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::Allowed);
  nextRequest();
  GADPrivacySettings::resetIdentifier();
  nextRequest();
  ASSERT_EQ(network->adRequests().size(), 3u);

  // Everything the sandbox received: the core script, the ads, the trackers.
  ASSERT_GE(network->requests().size(), 4u);
  for (const auto& request : network->requests()) {
    std::string seen = request.path + "?" + request.query.value_or("");
    for (const auto& [name, value] : request.headers) seen += "\n" + name + ": " + value;
    std::string decoded;
    for (const auto& [key, value] : adnet::parseQuery(request.query.value_or(""))) decoded += key + "=" + value + "\n";
    for (const auto& secret : machineWide) {
      EXPECT_EQ(seen.find(secret), std::string::npos) << secret << " in " << request.path;
      EXPECT_EQ(decoded.find(secret), std::string::npos) << secret << " in " << request.path;
    }
  }
}

}  // namespace
