#include "ads/core/GADRequestError.h"

#include "ads/request/GADRequestPrivate.h"
#include "tests/support/FakeDevice.h"
#include "tests/support/AdsTest.h"

namespace {

class GADRequestErrorTest : public AdsTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    device = std::make_shared<FakeDevice>();
    platform::Device::setCurrentForTesting(device);
  }
  std::shared_ptr<FakeDevice> device;
};

TEST_F(GADRequestErrorTest, EveryCodeHasItsMessage) {
  device->version = "2.2.1";
  const std::pair<long, std::string> table[] = {
      {0, "Request Error: Invalid ad request parameter(s).  Check the Xcode console for details."},
      {1, "Request Error: No ad to show."},
      {2, "Request Error: A network error occurred."},
      {3, "Request Error: Server error processing the request."},
      {4, "Request Error: This device's OS is 2.2.1.  It is below the minimum of 3.0."},
      {5, "Request Error: The Rezido Ad request was unable to be fulfilled before a timeout occurred."},
      {7, "Request Error: Invalid ad request parameter(s).  Check the Xcode console for details."},
      {-1, "Request Error: Invalid ad request parameter(s).  Check the Xcode console for details."},
  };
  for (const auto& [code, message] : table) {
    GADRequestError error(code, nullptr);
    EXPECT_EQ(error.code(), code);
    EXPECT_EQ(error.domain(), "com.rezido.ads");
    EXPECT_EQ(error.localizedDescription(), message) << code;
    EXPECT_EQ(*error.userInfo().find(kGADLocalizedFailureReasonErrorKey)->asString(), message);
    EXPECT_EQ(error.userInfo().size(), 2u);
  }
}

TEST_F(GADRequestErrorTest, OSVersionIsReadWhenTheMessageIsMade) {
  device->version = "4";
  EXPECT_EQ(GADRequestError::localizedStringForErrorCode(4),
            "Request Error: This device's OS is 4.0.0.  It is below the minimum of 3.0.");
}

class RequestWithSlot : public GADRequestPrivate {
 public:
  platform::Dictionary parameters() const override {
    auto parameters = GADRequestPrivate::parameters();
    parameters.set("slotname", "a1b2c3d4e5f6071");
    return parameters;
  }
};

TEST_F(GADRequestErrorTest, CodeZeroCarriesEveryRequestParameter) {
  RequestWithSlot request;
  request.addKeyword("fun");
  auto error = GADRequestError::errorWithCode(kGADErrorInvalidRequest, &request);
  const auto parameters = request.parameters();
  EXPECT_GE(error.userInfo().size(), 3u);
  EXPECT_EQ(error.userInfo().size(), 2 + parameters.size());
  for (const auto& [key, value] : parameters) {
    ASSERT_NE(error.userInfo().find(key), nullptr) << key;
    EXPECT_EQ(*error.userInfo().find(key), value) << key;
  }
  EXPECT_EQ(*error.userInfo().find("slotname")->asString(), "a1b2c3d4e5f6071");
}

TEST_F(GADRequestErrorTest, OtherCodesIgnoreTheRequest) {
  RequestWithSlot request;
  EXPECT_EQ(GADRequestError(kGADErrorServerError, &request).userInfo().size(), 2u);
}

}  // namespace
