#include "platform/FileManager.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/support/WorkerFolders.h"

using platform::FileManager;

namespace {

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::span<const std::uint8_t> bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class FileManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("fm-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    FileManager::setBeforeRenameHookForTesting({});
    removeFolderAfterWorkers(dir);
  }
  std::filesystem::path dir;
};

TEST_F(FileManagerTest, AtomicWriteReplacesTheFileAndLeavesNoTemporaries) {
  const auto path = dir / "file";
  ASSERT_TRUE(FileManager::writeAtomically(path, bytes("old")));
  ASSERT_TRUE(FileManager::writeAtomically(path, bytes("new body")));
  EXPECT_EQ(readAll(path), "new body");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

// A pending file shows nowhere until it is renamed, goes with its date,
// and leaves nothing behind when dropped.
TEST_F(FileManagerTest, APendingFileIsInPlaceOnlyOnceRenamedAndLeavesNothingWhenDropped) {
  const auto path = dir / "file";
  ASSERT_TRUE(FileManager::writeAtomically(path, bytes("old")));
  {
    auto dropped = FileManager::writeTemporary(path, bytes("dropped"));
    ASSERT_TRUE(dropped);
    EXPECT_EQ(readAll(path), "old");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);

  auto pending = FileManager::writeTemporary(path, bytes("new"), 1700000000);
  ASSERT_TRUE(pending);
  EXPECT_EQ(readAll(path), "old");
  ASSERT_TRUE(pending->renameIntoPlace());
  EXPECT_EQ(readAll(path), "new");
  struct stat info{};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1700000000);
  EXPECT_FALSE(pending->renameIntoPlace()) << "once";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

TEST_F(FileManagerTest, WriteIntoAMissingFolderFailsWithAnError) {
  auto result = FileManager::writeAtomically(dir / "missing" / "file", bytes("x"));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().domain, platform::kFileErrorDomain);
}

TEST_F(FileManagerTest, AProcessKilledMidWriteLeavesTheOldFileWhole) {
  const auto path = dir / "file";
  ASSERT_TRUE(FileManager::writeAtomically(path, bytes("the old content")));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The new body is on disk under its temporary name when the process dies.
    FileManager::setBeforeRenameHookForTesting([] { ::kill(::getpid(), SIGKILL); });
    const std::string big(1 << 20, 'n');
    (void)FileManager::writeAtomically(path, bytes(big));
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(readAll(path), "the old content");
}

// Temporaries a killed writer left go once stale, swept off the write path:
// once per folder in a run, on a worker thread. A write into a folder of
// 10,000 files never walks them.
TEST_F(FileManagerTest, StaleTemporariesAreSweptOncePerFolderAndNoWriteWalksTheFolder) {
  for (int i = 0; i < 10000; ++i) std::ofstream(dir / ("f" + std::to_string(i))) << i;
  // Stale: left unwritten longer than a sweep allows (here a second).
  FileManager::setStaleTemporaryAgeForTesting(std::chrono::seconds(1));
  auto leaveTemporary = [&](const char* name) { std::ofstream(dir / name) << "partial"; };
  leaveTemporary("file.Ab12Cd");
  leaveTemporary("other.url.Ab12Cd");
  leaveTemporary("notes.txt");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  leaveTemporary("file.Zz99Yy");
  FileManager::forgetSweepsForTesting();
  const int before = FileManager::finishedSweepsForTesting();
  ASSERT_TRUE(FileManager::writeAtomically(dir / "file", bytes("body")));
  for (int waited = 0; waited < 1000 && FileManager::finishedSweepsForTesting() == before; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(FileManager::finishedSweepsForTesting(), before + 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "file.Ab12Cd"));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.url.Ab12Cd"));
  EXPECT_TRUE(std::filesystem::exists(dir / "file.Zz99Yy")) << "a writer may still be at work on it";
  EXPECT_TRUE(std::filesystem::exists(dir / "notes.txt")) << "no temporary";

  // Later writes leave the folder alone, stale temporaries and all.
  leaveTemporary("late.Qq11Ww");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(FileManager::writeAtomically(dir / "file", bytes(std::to_string(i))));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(FileManager::finishedSweepsForTesting(), before + 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "late.Qq11Ww"));
  FileManager::setStaleTemporaryAgeForTesting(std::chrono::minutes(1));
}

// A pending file carries its server's date, long past: the folder's sweep
// judges a temporary by when it was last written to, which no date a file
// is given changes, and leaves a live writer's alone.
TEST_F(FileManagerTest, ASweepLeavesAPendingFileDatedLongAgo) {
  auto pending = FileManager::writeTemporary(dir / "file", bytes("new"), 1700000000);
  ASSERT_TRUE(pending);
  FileManager::forgetSweepsForTesting();
  const int before = FileManager::finishedSweepsForTesting();
  ASSERT_TRUE(FileManager::writeAtomically(dir / "other", bytes("starts the sweep")));
  for (int waited = 0; waited < 1000 && FileManager::finishedSweepsForTesting() == before; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(FileManager::finishedSweepsForTesting(), before + 1);
  EXPECT_TRUE(pending->renameIntoPlace());
  EXPECT_EQ(readAll(dir / "file"), "new");
}

TEST_F(FileManagerTest, WrittenFilesFollowTheUmask) {
  const mode_t saved = ::umask(077);
  const auto path = dir / "private";
  const auto written = FileManager::writeAtomically(path, bytes("x"));
  ::umask(022);
  const auto shared = dir / "shared";
  const auto second = FileManager::writeAtomically(shared, bytes("y"));
  ::umask(saved);
  ASSERT_TRUE(written);
  ASSERT_TRUE(second);
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all, std::filesystem::perms(0600));
  EXPECT_EQ(std::filesystem::status(shared).permissions() & std::filesystem::perms::all, std::filesystem::perms(0644));
}

TEST_F(FileManagerTest, CachesDirectoryFollowsXdgCacheHome) {
  const char* old = std::getenv("XDG_CACHE_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CACHE_HOME", dir.c_str(), 1);
  auto caches = FileManager::cachesDirectory();
  ASSERT_TRUE(caches);
  EXPECT_EQ(caches->parent_path(), dir);
  if (old)
    setenv("XDG_CACHE_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CACHE_HOME");
}

}  // namespace
