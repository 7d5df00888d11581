// One remote resource fetched over HTTP into the caches directory, kept
// between runs and revalidated with conditional requests. Reports each
// fetch's outcome to its delegate once and never retries by itself.
//
// Two URLs whose names hash alike share a file name, so each file carries
// the URL it was written for ahead of its body: a file that another URL
// wrote is a miss, never content of this one. A file is written whole, its
// date included, under a temporary name beside it and renamed into place:
// a reader (another cached file of the URL, in this process or in another
// sharing the caches directory) sees the old file or the new one, never a
// part of one nor a moment with neither. Files of the earlier format (the
// body alone under a shorter name, its URL in "<name>.url" beside it) are
// never read: a miss.
//
// Several cached files of one URL may write at once. In this process a
// write that started earlier never lands after one that started later;
// between processes the last rename wins, and what it leaves is whole and
// dated by the server for that body, so the next conditional request
// brings anything newer.
//
// The delegate is not retained; its owner clears it before going. A
// delegate callback may destroy the cached file. Main thread only.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/core/GADCachedFileDelegate.h"
#include "platform/URLConnection.h"
#include "platform/Value.h"

inline constexpr const char* kHTTPDateFormat = "EEE, dd MMM yyyy HH:mm:ss";
inline constexpr const char* kGADCachedFileErrorDomain = "GADCachedFile";

class GADCachedFile : private platform::URLConnectionDelegate {
 public:
  // Which cookies a fetch carries and keeps.
  enum class Cookies {
    // The process's jar: the fetch sends what the jar holds for its host
    // and stores what it is sent (the ad network's own fetches).
    Shared,
    // None are sent and what arrives is dropped: a fetch a page named (a
    // tracker) must not carry another site's cookies, nor set any.
    None,
  };
  // A body larger than this fails the fetch instead of filling memory.
  static constexpr size_t kMaximumBodyBytes = 16 * 1024 * 1024;

  // Nothing is fetched yet.
  GADCachedFile(GADCachedFileDelegate* delegate, const platform::URL& url, Cookies cookies = Cookies::Shared);
  ~GADCachedFile() override;
  GADCachedFile(const GADCachedFile&) = delete;
  GADCachedFile& operator=(const GADCachedFile&) = delete;

  // Start a fetch unless one is running; the second adds a "unique"
  // parameter so that no cache on the way answers.
  void validate();
  void validateWithCacheBuster();
  // Stops a running fetch without a report.
  void cancel();
  // Stops a running fetch and deletes the file. A body still being
  // written never goes in place; a file written later stays.
  void invalidate();

  // From validate until the report: the body is written to disk off the
  // main thread before the fetch ends.
  bool isFetching() const { return connection_ != nullptr || write_ != nullptr; }
  GADCachedFileDelegate* delegate() const { return delegate_; }
  void setDelegate(GADCachedFileDelegate* delegate) { delegate_ = delegate; }

  const platform::URL& sourceURL() const { return sourceURL_; }
  // The URL last requested: the source, then each redirect target.
  const platform::URL& httpDestinationURL() const { return httpDestinationURL_; }
  // The last HTTP status seen; 0 until a response arrives.
  long httpStatusCode() const { return httpStatusCode_; }
  // All header fields of the last HTTP response, redirects included.
  const platform::Dictionary& httpHeaders() const { return httpHeaders_; }

  // <caches>/<host>/<hash of the source URL, 16 hex digits>, always inside
  // the caches directory; nullopt while there is no caches directory.
  std::optional<std::filesystem::path> filePath();
  // The file as UTF-8 text; nullopt when missing, written for another URL
  // or not UTF-8.
  std::optional<std::string> content();
  // Whether this URL's file exists.
  bool hasContent();
  // The file's modification time as an HTTP date; nullopt without a file
  // of this URL.
  std::optional<std::string> fileModificationDate();
  std::string description();

  // "Sun, 06 Nov 1994 08:49:37 GMT" for the time; reading takes the text
  // with or without " GMT".
  static std::string formatHTTPDate(std::time_t time);
  static std::optional<std::time_t> parseHTTPDate(const std::string& text);

  // Replaces the hash that names files (null: the real one), so that tests
  // can make two URLs share a name.
  static void setFileNameHashForTesting(std::function<std::uint32_t(const std::string&)> hash);

 private:
  void beginFetchWithCacheBuster(bool cacheBuster);
  void saveHeadersFromResponse(const platform::HTTPResponse& response);
  void cleanUpConnection();
  void reportEnd();
  void reportFailure(const platform::Error* error);
  // Whether the file on disk was written for this URL.
  bool ownsFile();
  struct Write;
  // Writes the header and the body, and puts the file in place unless a
  // later write of the path has landed or the write was abandoned; on a
  // worker thread, so it reads nothing of the cached file.
  static void writeFile(Write& write, const std::filesystem::path& path, const std::string& header,
                        const std::vector<std::uint8_t>& body, const std::string& modified);
  void writeDidEnd();

  std::optional<platform::URLRequest> connectionWillSendRequest(platform::URLConnection&, platform::URLRequest request,
                                                                const platform::HTTPResponse* redirect) override;
  void connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPResponse& response) override;
  void connectionDidReceiveData(platform::URLConnection&, std::span<const std::uint8_t> data) override;
  void connectionDidFinishLoading(platform::URLConnection&) override;
  void connectionDidFailWithError(platform::URLConnection&, const platform::Error& error) override;

  GADCachedFileDelegate* delegate_;
  platform::URL sourceURL_;
  Cookies cookies_;
  std::optional<std::filesystem::path> filePath_;
  std::shared_ptr<platform::URLConnection> connection_;
  std::optional<std::vector<std::uint8_t>> receivedData_;
  std::optional<std::string> receivedModificationDate_;
  platform::URL httpDestinationURL_;
  long httpStatusCode_ = 0;
  platform::Dictionary httpHeaders_;
  // Copied before each delegate call: tells whether we outlived it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // The body being written, shared with its worker thread; it names the
  // write's report (cancelled with it).
  struct Write {
    // The order in which the writes of this process started.
    std::uint64_t ticket = 0;
    // Set by invalidate and read before the rename, both under the
    // process's lock of writes: an abandoned body never goes in place.
    bool abandoned = false;
    // The worker's, read once it is done.
    enum class Outcome { Failed, Landed, Overtaken } outcome = Outcome::Failed;
    std::optional<platform::Error> failure;
  };
  std::shared_ptr<Write> write_;
};
