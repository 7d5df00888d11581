// Files: the caches directory and atomic writes.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/Error.h"

namespace platform {

inline constexpr const char* kFileErrorDomain = "NSCocoaErrorDomain";

class FileManager {
 public:
  // $XDG_CACHE_HOME/<bundle identifier> (else ~/.cache/...); nullopt when
  // neither variable gives a folder.
  static std::optional<std::filesystem::path> cachesDirectory();
  static void setCachesDirectoryForTesting(std::optional<std::filesystem::path> directory);
  // $XDG_CONFIG_HOME/<bundle identifier> (else ~/.config/...), where the
  // preferences live.
  static std::optional<std::filesystem::path> configurationDirectory();
  // $XDG_DATA_HOME/<bundle identifier> (else ~/.local/share/...): the
  // user's own data of this application.
  static std::optional<std::filesystem::path> dataDirectory();
  static void setDataDirectoryForTesting(std::optional<std::filesystem::path> directory);
  // $XDG_DATA_HOME/<bundle identifier>/Documents (else ~/.local/share/...).
  static std::optional<std::filesystem::path> documentsDirectory();
  static void setDocumentsDirectoryForTesting(std::optional<std::filesystem::path> directory);

  // Writes `bytes` to a new file beside `path`, flushes it to disk and
  // renames it over `path`: a reader (or a crash) sees the old file or the
  // new one, never a part. The file gets the mode the process's umask
  // allows (0666 less the umask). Temporaries that a writer killed mid-write
  // left in the folder are removed once they are a minute old: by a sweep
  // on a worker thread, started by the first write into that folder in a
  // run, so that no write walks the folder.
  static std::expected<void, Error> writeAtomically(const std::filesystem::path& path,
                                                    std::span<const std::uint8_t> bytes);

  // A file written and flushed under a temporary name beside `path`, not
  // yet in place: readers of `path` see nothing of it until it is renamed.
  // One that goes without having been renamed is removed.
  class PendingFile {
   public:
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    ~PendingFile();
    // Renames it over the path, once: a reader sees the old file or this one.
    std::expected<void, Error> renameIntoPlace();

   private:
    friend class FileManager;
    PendingFile(std::filesystem::path path, std::string temporary);
    std::filesystem::path path_;
    std::string temporary_;  // empty once renamed
  };
  // writeAtomically up to the rename (the before-rename hook included), so
  // that the caller decides under its own lock whether the file goes in
  // place; the file's modification time is `modified` when given.
  static std::expected<PendingFile, Error> writeTemporary(const std::filesystem::path& path,
                                                         std::span<const std::uint8_t> bytes,
                                                         std::optional<std::time_t> modified = std::nullopt);
  // Sweeps that have finished in this run; forgetting lets the next write
  // into a folder sweep it again.
  static int finishedSweepsForTesting();
  static void forgetSweepsForTesting();
  // How long unwritten a temporary must be for a sweep to remove it (a
  // minute unless told).
  static void setStaleTemporaryAgeForTesting(std::chrono::milliseconds age);
  // Runs between the flush and the rename (tests kill the process there).
  static void setBeforeRenameHookForTesting(std::function<void()> hook);
};

}  // namespace platform
