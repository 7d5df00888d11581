#include "ads/request/GADAdvertisingIdentifier.h"

#include <sys/stat.h>

#include <fstream>
#include <set>
#include <string>

#include "tests/support/AdsTest.h"

namespace {

class GADAdvertisingIdentifierTest : public AdsTest {
 protected:
  // A data folder of one user's installation.
  std::filesystem::path installation(const std::string& name) { return dataFolder() / name / "advertising-identifier"; }
  static std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(GADAdvertisingIdentifierTest, EachInstallationHasItsOwnAndKeepsItUntilAReset) {
  const auto first = installation("user-a"), second = installation("user-b");
  const std::string a = GADAdvertisingIdentifier(first).value();
  const std::string b = GADAdvertisingIdentifier(second).value();
  EXPECT_TRUE(GADAdvertisingIdentifier::isWellFormed(a)) << a;
  EXPECT_TRUE(GADAdvertisingIdentifier::isWellFormed(b)) << b;
  EXPECT_NE(a, b);
  EXPECT_EQ(fileText(first), a + "\n");
  EXPECT_EQ(GADAdvertisingIdentifier(first).value(), a) << "a later store over the same folder";

  GADAdvertisingIdentifier store(first);
  store.reset();
  const std::string renewed = store.value();
  EXPECT_NE(renewed, a);
  EXPECT_TRUE(GADAdvertisingIdentifier::isWellFormed(renewed));
  EXPECT_EQ(GADAdvertisingIdentifier(first).value(), renewed) << "the reset is kept";
  EXPECT_EQ(GADAdvertisingIdentifier(second).value(), b) << "the other installation is untouched";
  EXPECT_TRUE(logLines().empty());
}

TEST_F(GADAdvertisingIdentifierTest, ValuesAreRandomNotMadeFromAnything) {
  // Many fresh installations: no two alike, and every digit position varies.
  std::set<std::string> seen;
  std::set<char> firstDigits;
  for (int i = 0; i < 64; ++i) {
    const std::string value = GADAdvertisingIdentifier(std::nullopt).value();
    seen.insert(value);
    firstDigits.insert(value.front());
  }
  EXPECT_EQ(seen.size(), 64u);
  EXPECT_GT(firstDigits.size(), 4u);
}

TEST_F(GADAdvertisingIdentifierTest, AnUnreadableOrMalformedFileIsReplacedWithOneLogLine) {
  const char* contents[] = {"hello", "0123456789abcdef0123456789abcdef", "0123456789ABCDEF0123456789ABCDE",
                            "0123456789ABCDEF0123456789ABCDEF0", "00000000000000000000000000000000",
                            "0123456789ABCDEF 123456789ABCDEF", ""};
  int index = 0;
  for (const char* content : contents) {
    const auto file = installation("malformed-" + std::to_string(index++));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << content;
    const size_t before = logLines().size();
    const std::string value = GADAdvertisingIdentifier(file).value();
    EXPECT_TRUE(GADAdvertisingIdentifier::isWellFormed(value)) << content;
    EXPECT_EQ(fileText(file), value + "\n") << content;
    ASSERT_EQ(logLines().size(), before + 1) << content;
    EXPECT_NE(logLines().back().find("could not be read"), std::string::npos) << logLines().back();
  }
  // A file that cannot be opened at all (a link to itself) is replaced the
  // same way.
  const auto looped = installation("looped");
  std::filesystem::create_directories(looped.parent_path());
  std::filesystem::create_symlink(looped.filename(), looped);
  const size_t before = logLines().size();
  const std::string value = GADAdvertisingIdentifier(looped).value();
  EXPECT_TRUE(GADAdvertisingIdentifier::isWellFormed(value));
  EXPECT_EQ(logLines().size(), before + 1);
  EXPECT_FALSE(std::filesystem::is_symlink(looped));
  EXPECT_EQ(fileText(looped), value + "\n");
}

TEST_F(GADAdvertisingIdentifierTest, TheFileIsTheUsersAloneAndItsFolderIsMadeWhenMissing) {
  const auto file = installation("deep/er");
  GADAdvertisingIdentifier(file).value();
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(GADAdvertisingIdentifierTest, WithNoFolderOrNoWayToWriteItLivesForTheRun) {
  GADAdvertisingIdentifier memoryOnly(std::nullopt);
  const std::string value = memoryOnly.value();
  EXPECT_EQ(memoryOnly.value(), value);
  EXPECT_TRUE(logLines().empty());

  // A file where its folder should be: nothing can be written under it.
  std::filesystem::create_directories(dataFolder());
  std::ofstream(dataFolder() / "blocked") << "a file";
  GADAdvertisingIdentifier blocked(dataFolder() / "blocked" / "advertising-identifier");
  const std::string kept = blocked.value();
  EXPECT_TRUE(GADAdvertisingIdentifier::isWellFormed(kept));
  EXPECT_EQ(blocked.value(), kept);
  ASSERT_EQ(logLines().size(), 1u);
  EXPECT_NE(logLines().back().find("could not be kept"), std::string::npos) << logLines().back();
}

}  // namespace
