#include "platform/UserDefaults.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/RunLoop.h"
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

// Two running copies of the application save one file: each save lays its
// own changes over what the other saved, so neither loses the other's.
TEST_F(UserDefaultsTest, TwoCopiesSavingOneFileMergeTheirChanges) {
  const auto file = folder / "preferences.plist";
  platform::UserDefaults first(file), second(file);
  first.setObjectForKey(platform::Value(1), "first");
  first.setObjectForKey(platform::Value("mine"), "shared");
  second.setObjectForKey(platform::Value(2), "second");
  ASSERT_TRUE(first.synchronize());
  ASSERT_TRUE(second.synchronize());
  platform::UserDefaults reread(file);
  ASSERT_NE(reread.objectForKey("first"), nullptr) << "the second copy's save kept the first's";
  EXPECT_EQ(*reread.objectForKey("first"), platform::Value(1));
  EXPECT_EQ(*reread.objectForKey("second"), platform::Value(2));
  EXPECT_EQ(*second.objectForKey("first"), platform::Value(1)) << "and the second copy sees it now";
  // A removal is a change too; what the other did not touch stays.
  second.setObjectForKey(platform::Value("theirs"), "shared");
  ASSERT_TRUE(second.synchronize());
  first.removeObjectForKey("first");
  ASSERT_TRUE(first.synchronize());
  platform::UserDefaults last(file);
  EXPECT_EQ(last.objectForKey("first"), nullptr);
  EXPECT_EQ(*last.objectForKey("shared"), platform::Value("theirs"));
  EXPECT_EQ(*last.objectForKey("second"), platform::Value(2));
}

// A file that cannot be read at all may hold everything the user had: it
// is never replaced. One that is no property list is kept beside before it is.
TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsNeverReplacedAndABrokenOneIsKept) {
  const auto unreadable = folder / "unreadable.plist";
  std::filesystem::create_directories(unreadable / "inside");  // reading it fails
  platform::UserDefaults locked(unreadable);
  locked.setObjectForKey(platform::Value(1), "n");
  EXPECT_FALSE(locked.synchronize());
  EXPECT_FALSE(locked.synchronize());
  EXPECT_TRUE(std::filesystem::exists(unreadable / "inside")) << "left as it was";
  ASSERT_EQ(logLines().size(), 1u) << "one line says so, once";
  EXPECT_NE(logLines()[0].find("left as it is"), std::string::npos) << logLines()[0];

  const auto broken = folder / "broken.plist";
  std::ofstream(broken) << "<plist><dict><key>lost";
  platform::UserDefaults store(broken);
  store.setObjectForKey(platform::Value(1), "n");
  ASSERT_TRUE(store.synchronize());
  std::ifstream kept(folder / "broken.plist.corrupt");
  std::string text((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "<plist><dict><key>lost");
  EXPECT_EQ(*platform::UserDefaults(broken).objectForKey("n"), platform::Value(1));
}

// This libplist keeps a date's seconds since 2001 in 32 bits: a later date
// is kept as the latest it can hold, never wrapped round to 1933.
TEST_F(UserDefaultsTest, ADatePastWhatTheFileHoldsIsKeptAsTheLatestNotWrapped) {
  const auto file = folder / "preferences.plist";
  platform::UserDefaults defaults(file);
  constexpr double kYear2100 = 4102444800.0;
  defaults.setObjectForKey(platform::Value(platform::Value::Date{kYear2100}), "expireDate");
  ASSERT_TRUE(defaults.synchronize());
  const platform::UserDefaults reread(file);
  const auto* date = reread.objectForKey("expireDate")->asDate();
  ASSERT_NE(date, nullptr);
  EXPECT_GT(date->secondsSince1970, 3e9) << "past 2065, not before 1970";
  EXPECT_LE(date->secondsSince1970, kYear2100);
}

// A save in the background never holds up the main loop, even while
// another copy holds the file's lock; changes made meanwhile follow in one
// more save, and a store that goes first finishes what it began.
TEST_F(UserDefaultsTest, ASaveInTheBackgroundLeavesTheLoopFreeAndLosesNothing) {
  const auto file = folder / "preferences.plist";
  const int other = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);  // another copy is saving
  auto defaults = std::make_unique<platform::UserDefaults>(file);
  defaults->setObjectForKey(platform::Value(1), "first");
  defaults->saveInBackground();
  defaults->setObjectForKey(platform::Value(2), "second");
  defaults->saveInBackground();
  platform::RunLoop::main().runFor(0.2);
  EXPECT_TRUE(defaults->isSaving());
  EXPECT_FALSE(std::filesystem::exists(file)) << "nothing written past the other copy's lock";
  ::close(other);
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return defaults->saveCount() == 2; }, 10));
  EXPECT_EQ(*platform::UserDefaults(file).objectForKey("second"), platform::Value(2));

  defaults->setObjectForKey(platform::Value(3), "third");
  defaults->saveInBackground();
  defaults.reset();
  const platform::UserDefaults reread(file);
  ASSERT_NE(reread.objectForKey("third"), nullptr) << "the store waited for its save before going";
  EXPECT_EQ(*reread.objectForKey("first"), platform::Value(1));
}

// A save that failed keeps its changes for the next, behind any newer
// change of the same key.
TEST_F(UserDefaultsTest, AFailedSaveInTheBackgroundKeepsItsChangesBehindNewerOnes) {
  const auto file = folder / "preferences.plist";
  platform::UserDefaults defaults(file);
  ASSERT_TRUE(defaults.synchronize());  // a file to merge into
  defaults.setObjectForKey(platform::Value("cut\0short"s), "name");
  defaults.setObjectForKey(platform::Value(7), "count");
  defaults.saveInBackground();
  defaults.setObjectForKey(platform::Value("whole"), "name");
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return !defaults.isSaving(); }, 10));
  EXPECT_EQ(defaults.saveCount(), 1);
  ASSERT_TRUE(defaults.synchronize());
  const platform::UserDefaults reread(file);
  ASSERT_NE(reread.objectForKey("count"), nullptr) << "the failed save's other change is still saved";
  EXPECT_EQ(*reread.objectForKey("count"), platform::Value(7));
  EXPECT_EQ(*reread.objectForKey("name"), platform::Value("whole"));
}

}  // namespace
