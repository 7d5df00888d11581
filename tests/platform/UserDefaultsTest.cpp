#include "platform/UserDefaults.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/PlatformTest.h"

namespace {

using namespace std::string_literals;

class UserDefaultsTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    folder = std::filesystem::temp_directory_path() / ("defaults-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    std::filesystem::remove_all(folder);
    PlatformTest::TearDown();
  }
  std::filesystem::path folder;
};

TEST_F(UserDefaultsTest, AValueThatCannotBeStoredFailsTheSaveAndKeepsTheFile) {
  const auto file = folder / "preferences.plist";
  platform::UserDefaults defaults(file);
  defaults.setObjectForKey(platform::Value("kept"), "name");
  ASSERT_TRUE(defaults.synchronize());
  defaults.setObjectForKey(platform::Value("cut\0short"s), "name");
  EXPECT_FALSE(defaults.synchronize());
  ASSERT_EQ(logLines().size(), 1u);
  EXPECT_NE(logLines()[0].find("NUL"), std::string::npos) << logLines()[0];
  const platform::UserDefaults reread(file);
  ASSERT_NE(reread.objectForKey("name"), nullptr);
  EXPECT_EQ(*reread.objectForKey("name"), platform::Value("kept"));
}

}  // namespace
