#include "platform/FileManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/ASCII.h"
#include "platform/Bundle.h"
#include "platform/RunLoop.h"

namespace platform {

namespace {

struct Overrides {
  bool cachesSet = false;
  std::optional<std::filesystem::path> caches;
  bool documentsSet = false;
  std::optional<std::filesystem::path> documents;
  bool dataSet = false;
  std::optional<std::filesystem::path> data;
  std::function<void()> beforeRename;
};

Overrides& overrides() {
  static Overrides o;
  return o;
}

// The process's umask, read without changing it (umask(2) both reads and
// sets, which would race with other threads creating files).
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) != 0) continue;
    mode_t mask = 0;
    for (char c : line.substr(6)) {
      if (c >= '0' && c <= '7') mask = static_cast<mode_t>(mask * 8 + static_cast<mode_t>(c - '0'));
    }
    return mask & 0777;
  }
  return 022;
}

// "<name>.XXXXXX" as mkstemp fills in writeAtomically's template.
bool isTemporaryName(const std::string& candidate) {
  constexpr size_t kSuffix = 7;  // ".XXXXXX"
  if (candidate.size() <= kSuffix || candidate[candidate.size() - kSuffix] != '.') return false;
  for (size_t i = candidate.size() - kSuffix + 1; i < candidate.size(); ++i)
    if (!ascii::isAlnum(candidate[i])) return false;
  return true;
}

struct Sweeps {
  std::mutex mutex;
  std::set<std::filesystem::path> started;  // folders swept (or being swept) in this run
  std::atomic<int> finished{0};
  // How long since a temporary was last written to makes it stale: a live
  // writer renames its own long before a minute.
  std::atomic<std::int64_t> staleMilliseconds{60 * 1000};
};

Sweeps& sweeps() {
  static Sweeps* s = new Sweeps;  // worker threads may outlive static destruction
  return *s;
}

// Temporaries that a writer killed mid-write left in `folder`, once they
// are stale. Judged by the inode's change time, which the kernel sets at
// every write and every change of the file's dates: the modification time
// is the one a writer gives the file (a server's date, long past), and would
// make a live writer's temporary look abandoned.
void removeStaleTemporaries(const std::filesystem::path& folder) {
  const std::int64_t stale = sweeps().staleMilliseconds.load();
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!isTemporaryName(entry.path().filename().string())) continue;
    struct stat info{};
    if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    const std::int64_t age = (now.tv_sec - info.st_ctim.tv_sec) * 1000 + (now.tv_nsec - info.st_ctim.tv_nsec) / 1000000;
    if (age > stale) std::filesystem::remove(entry.path(), ec);
  }
}

// The first write into a folder in this run sweeps it, on a worker thread:
// a write's own cost never grows with the files beside it.
void sweepOnceInBackground(const std::filesystem::path& folder) {
  {
    std::lock_guard lock(sweeps().mutex);
    if (!sweeps().started.insert(folder).second) return;
  }
  RunLoop::runOnWorker([folder] {
    removeStaleTemporaries(folder);
    sweeps().finished.fetch_add(1);
  });
}

Error writeError(const std::filesystem::path& path, int err) {
  return Error{kFileErrorDomain, 512, "cannot write " + path.string() + ": " + std::strerror(err)};
}

}  // namespace

namespace {

// <$variable or ~/fallback>/<bundle identifier>.
std::optional<std::filesystem::path> applicationFolder(const char* variable, const char* fallback) {
  std::filesystem::path base;
  if (const char* xdg = std::getenv(variable); xdg && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
    base = std::filesystem::path(home) / fallback;
  } else {
    return std::nullopt;
  }
  std::string id = Bundle::main().infoString("CFBundleIdentifier");
  if (id.empty() || id.find('/') != std::string::npos || id == "." || id == "..") id = "blorvik";
  return base / id;
}

}  // namespace

std::optional<std::filesystem::path> FileManager::cachesDirectory() {
  if (overrides().cachesSet) return overrides().caches;
  return applicationFolder("XDG_CACHE_HOME", ".cache");
}

std::optional<std::filesystem::path> FileManager::configurationDirectory() {
  return applicationFolder("XDG_CONFIG_HOME", ".config");
}

std::optional<std::filesystem::path> FileManager::documentsDirectory() {
  if (overrides().documentsSet) return overrides().documents;
  auto folder = applicationFolder("XDG_DATA_HOME", ".local/share");
  if (!folder) return std::nullopt;
  return *folder / "Documents";
}

std::optional<std::filesystem::path> FileManager::dataDirectory() {
  if (overrides().dataSet) return overrides().data;
  return applicationFolder("XDG_DATA_HOME", ".local/share");
}

void FileManager::setDataDirectoryForTesting(std::optional<std::filesystem::path> directory) {
  overrides().dataSet = directory.has_value();
  overrides().data = std::move(directory);
}

void FileManager::setDocumentsDirectoryForTesting(std::optional<std::filesystem::path> directory) {
  overrides().documentsSet = directory.has_value();
  overrides().documents = std::move(directory);
}

void FileManager::setCachesDirectoryForTesting(std::optional<std::filesystem::path> directory) {
  overrides().cachesSet = directory.has_value();
  overrides().caches = std::move(directory);
}

std::expected<void, Error> FileManager::writeAtomically(const std::filesystem::path& path,
                                                        std::span<const std::uint8_t> bytes) {
  auto pending = writeTemporary(path, bytes);
  if (!pending) return std::unexpected(pending.error());
  return pending->renameIntoPlace();
}

std::expected<FileManager::PendingFile, Error> FileManager::writeTemporary(const std::filesystem::path& path,
                                                                          std::span<const std::uint8_t> bytes,
                                                                          std::optional<std::time_t> modified) {
  std::string temporary = path.string() + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return std::unexpected(writeError(path, errno));
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : EIO;
      ::close(fd);
      ::unlink(temporary.c_str());
      return std::unexpected(writeError(path, err));
    }
    written += static_cast<size_t>(n);
  }
  // The time goes with the data: the file never shows in place without it.
  const timespec times[2] = {{modified.value_or(0), 0}, {modified.value_or(0), 0}};
  // The data must be on disk before the name points at it.
  if ((modified && ::futimens(fd, times) != 0) || ::fsync(fd) != 0 || ::fchmod(fd, 0666 & ~currentUmask()) != 0) {
    const int err = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    return std::unexpected(writeError(path, err));
  }
  ::close(fd);
  if (overrides().beforeRename) overrides().beforeRename();
  return PendingFile(path, std::move(temporary));
}

FileManager::PendingFile::PendingFile(std::filesystem::path path, std::string temporary)
    : path_(std::move(path)), temporary_(std::move(temporary)) {}

FileManager::PendingFile::PendingFile(PendingFile&& other) noexcept
    : path_(std::move(other.path_)), temporary_(std::exchange(other.temporary_, std::string())) {}

FileManager::PendingFile::~PendingFile() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

std::expected<void, Error> FileManager::PendingFile::renameIntoPlace() {
  if (temporary_.empty()) return std::unexpected(writeError(path_, ENOENT));
  const std::string temporary = std::exchange(temporary_, std::string());
  if (::rename(temporary.c_str(), path_.c_str()) != 0) {
    const int err = errno;
    ::unlink(temporary.c_str());
    return std::unexpected(writeError(path_, err));
  }
  sweepOnceInBackground(path_.parent_path());
  return {};
}

int FileManager::finishedSweepsForTesting() { return sweeps().finished.load(); }

void FileManager::setStaleTemporaryAgeForTesting(std::chrono::milliseconds age) {
  sweeps().staleMilliseconds.store(age.count());
}

void FileManager::forgetSweepsForTesting() {
  std::lock_guard lock(sweeps().mutex);
  sweeps().started.clear();
}

void FileManager::setBeforeRenameHookForTesting(std::function<void()> hook) {
  overrides().beforeRename = std::move(hook);
}

}  // namespace platform
