#include "platform/Bundle.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

class BundleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("bundle-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir / "sub");
    std::ofstream(dir / "clip.wav") << "RIFF";
    std::ofstream(dir / "secret") << "x";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

TEST_F(BundleTest, FindsRegularFilesByNameAndType) {
  platform::Bundle bundle(dir / "sub" / "..");
  EXPECT_TRUE(bundle.pathForResource("clip", "wav").has_value());
  EXPECT_FALSE(bundle.pathForResource("clip", "mp3").has_value());
  EXPECT_FALSE(bundle.pathForResource("sub", "").has_value()) << "a folder is no resource";
}

TEST_F(BundleTest, RefusesNamesThatLeaveTheFolder) {
  platform::Bundle bundle(dir / "sub");
  EXPECT_FALSE(bundle.pathForResource("../secret", "").has_value());
  EXPECT_FALSE(bundle.pathForResource("..", "").has_value());
}

TEST_F(BundleTest, ApplicationBundleNamesItsDelegateAndMainInterface) {
  auto& bundle = platform::Bundle::main();
  EXPECT_EQ(bundle.infoString("NSMainNibFile"), "MainWindow");
  EXPECT_EQ(bundle.infoString("ApplicationDelegateClass"), "BlorvikAppDelegate");
  EXPECT_EQ(bundle.infoString("CFBundleVersion"), "1.0");
  for (const char* clip : {"gas", "long", "loud", "short", "wet"})
    EXPECT_TRUE(bundle.pathForResource(clip, "wav").has_value()) << clip;
}

TEST_F(BundleTest, BrokenInformationFileReadsAsEmpty) {
  std::ofstream(dir / "Info.plist") << "<plist><dict><key>";
  platform::Bundle bundle(dir);
  EXPECT_TRUE(bundle.infoDictionary().empty());
  EXPECT_EQ(bundle.infoString("CFBundleVersion"), "");
}

}  // namespace
