#include "ads/core/GADCachedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "ads/request/GADNetworkUtilities.h"
#include "platform/ASCII.h"
#include "platform/FileManager.h"
#include "platform/HTTPDate.h"
#include "platform/ProcessWide.h"
#include "platform/RunLoop.h"
#include "platform/UTF8.h"

namespace {

constexpr double kSecondsFrom1970To2001 = 978307200.0;

// A folder name made of the host that can only name a folder inside the
// caches directory: no separators, no leading dots, bounded length.
std::string directoryNameForHost(const std::string& host) {
  std::string name;
  for (unsigned char c : host) name += (platform::ascii::isAlnum(static_cast<char>(c)) || c == '-' || c == '.' || c == '_') ? char(c) : '_';
  const size_t start = name.find_first_not_of('.');
  name = start == std::string::npos ? std::string() : name.substr(start);
  if (name.size() > 128) name.resize(128);
  return name.empty() ? "_" : name;
}

std::function<std::uint32_t(const std::string&)>& hashForTesting() {
  return platform::processWide<std::function<std::uint32_t(const std::string&)>>();
}

// FNV-1a, 64 bits: stable across runs and builds, so one URL keeps one
// file. Named with 16 digits, a file never takes the name of one of the
// earlier format (8 digits at most).
std::uint64_t hashOfText(const std::string& text) {
  if (hashForTesting()) return hashForTesting()(text);
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// What a file carries ahead of its body: the format, and the URL it was
// written for with its length (so no URL's header is the start of
// another's).
std::string headerFor(const std::string& owner) {
  return "GADCachedFile 1\n" + std::to_string(owner.size()) + " " + owner + "\n";
}

// Reads up to `size` bytes; fewer only at the end of the file.
bool readFully(int fd, char* into, size_t size, size_t& got) {
  got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, into + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return true;
}

struct Snapshot {
  std::string body;
  std::time_t modified = 0;
};

// The file at `path` if it starts with `header`: its date, and its body
// when asked. One descriptor reads it all, so all of it is of one version
// however the name is replaced meanwhile.
std::optional<Snapshot> readFileWithHeader(const std::filesystem::path& path, const std::string& header,
                                           bool withBody) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info{};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<size_t>(info.st_size) < header.size())
    return std::nullopt;
  std::string head(header.size(), '\0');
  size_t got = 0;
  if (!readFully(fd, head.data(), head.size(), got) || got != head.size() || head != header) return std::nullopt;
  Snapshot snapshot;
  snapshot.modified = info.st_mtim.tv_sec;
  if (!withBody) return snapshot;
  // Files are replaced by renames, never changed in place: the size holds.
  snapshot.body.resize(static_cast<size_t>(info.st_size) - header.size());
  if (!readFully(fd, snapshot.body.data(), snapshot.body.size(), got) || got != snapshot.body.size())
    return std::nullopt;
  return snapshot;
}

// The writes of this process under way, by file. Each takes a ticket as it
// starts; a write puts its file in place, under the lock, only if no write
// with a later ticket has landed there, so writes land in the order they
// started.
struct Writes {
  struct OfPath {
    std::uint64_t landed = 0;  // the ticket of the last write that landed
    int underWay = 0;
  };
  std::mutex mutex;
  std::uint64_t lastTicket = 0;
  std::map<std::string, OfPath> byPath;  // only paths with a write under way
};

Writes& writes() { return platform::processWide<Writes>(); }

double secondsSince2001() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - kSecondsFrom1970To2001;
}

}  // namespace

GADCachedFile::GADCachedFile(GADCachedFileDelegate* delegate, const platform::URL& url, Cookies cookies)
    : delegate_(delegate), sourceURL_(url), cookies_(cookies), httpDestinationURL_(url) {}

GADCachedFile::~GADCachedFile() {
  *alive_ = false;
  delegate_ = nullptr;
  cleanUpConnection();
}

void GADCachedFile::validate() {
  if (!isFetching()) beginFetchWithCacheBuster(false);
}

void GADCachedFile::validateWithCacheBuster() {
  if (!isFetching()) beginFetchWithCacheBuster(true);
}

void GADCachedFile::cancel() { cleanUpConnection(); }

void GADCachedFile::invalidate() {
  {
    // Under the lock the writes of this process rename under: a body of
    // ours being written either has landed and is deleted here, or sees
    // that it was abandoned and never lands. Files written after stay.
    std::lock_guard lock(writes().mutex);
    if (write_) write_->abandoned = true;
    // Another URL's file stays: it is not ours to delete.
    std::error_code ignored;
    if (ownsFile()) std::filesystem::remove(*filePath(), ignored);
  }
  cleanUpConnection();
}

void GADCachedFile::setFileNameHashForTesting(std::function<std::uint32_t(const std::string&)> hash) {
  hashForTesting() = std::move(hash);
}

bool GADCachedFile::ownsFile() {
  auto path = filePath();
  return path && readFileWithHeader(*path, headerFor(sourceURL_.absoluteString()), false);
}

void GADCachedFile::writeFile(Write& write, const std::filesystem::path& path, const std::string& header,
                              const std::vector<std::uint8_t>& body, const std::string& modified) {
  struct EndOfWrite {
    std::string path;
    ~EndOfWrite() {
      std::lock_guard lock(writes().mutex);
      if (auto entry = writes().byPath.find(path); entry != writes().byPath.end() && --entry->second.underWay == 0)
        writes().byPath.erase(entry);
    }
  } end{path.string()};
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(header.size() + body.size());
  bytes.insert(bytes.end(), header.begin(), header.end());
  bytes.insert(bytes.end(), body.begin(), body.end());
  // The server's own date, so that the next conditional request carries it.
  const auto when = modified.empty() ? std::nullopt : parseHTTPDate(modified);
  auto pending = platform::FileManager::writeTemporary(path, bytes, when);
  if (!pending) {
    write.failure = pending.error();
    return;
  }
  std::lock_guard lock(writes().mutex);
  auto& entry = writes().byPath[path.string()];
  if (write.abandoned || entry.landed > write.ticket) {
    write.outcome = Write::Outcome::Overtaken;
    return;  // the temporary goes with `pending`
  }
  if (auto renamed = pending->renameIntoPlace(); !renamed) {
    write.failure = renamed.error();
    return;
  }
  entry.landed = write.ticket;
  write.outcome = Write::Outcome::Landed;
}

std::optional<std::filesystem::path> GADCachedFile::filePath() {
  if (filePath_) return filePath_;
  auto caches = platform::FileManager::cachesDirectory();
  if (!caches) return std::nullopt;
  char name[24];
  std::snprintf(name, sizeof name, "%016" PRIx64, hashOfText(sourceURL_.absoluteString()));
  filePath_ = *caches / directoryNameForHost(sourceURL_.host()) / name;
  return filePath_;
}

std::optional<std::string> GADCachedFile::content() {
  auto path = filePath();
  if (!path) return std::nullopt;
  auto file = readFileWithHeader(*path, headerFor(sourceURL_.absoluteString()), true);
  if (!file || !platform::isValidUTF8(file->body)) return std::nullopt;
  return std::move(file->body);
}

bool GADCachedFile::hasContent() { return ownsFile(); }

std::optional<std::string> GADCachedFile::fileModificationDate() {
  auto path = filePath();
  if (!path) return std::nullopt;
  auto file = readFileWithHeader(*path, headerFor(sourceURL_.absoluteString()), false);
  if (!file) return std::nullopt;
  return formatHTTPDate(file->modified);
}

std::string GADCachedFile::description() {
  auto path = filePath();
  char head[64];
  std::snprintf(head, sizeof head, "<GADCachedFile: %p> HTTP code: %i", static_cast<const void*>(this),
                static_cast<int>(httpStatusCode_));
  return std::string(head) + "\n\turl: " + sourceURL_.absoluteString() + "\n\tfile: " + (path ? path->string() : "(null)");
}

std::string GADCachedFile::formatHTTPDate(std::time_t time) { return platform::HTTPDate::format(time); }

std::optional<std::time_t> GADCachedFile::parseHTTPDate(const std::string& text) {
  return platform::HTTPDate::parse(text);
}

void GADCachedFile::beginFetchWithCacheBuster(bool cacheBuster) {
  platform::URL url = sourceURL_;
  if (cacheBuster) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.0f", secondsSince2001());
    if (auto busted = GADNetworkUtilities::appendQueryKeyValueToURL("unique", platform::Value(seconds), url))
      url = *busted;
  }
  platform::URLRequest request(url);
  request.setCachePolicy(platform::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
  // Every hop of the fetch (redirects keep the request's choice).
  request.setShouldHandleCookies(cookies_ == Cookies::Shared);
  if (const auto& agent = GADNetworkUtilities::userAgentString(); agent && !agent->empty())
    request.setValueForHTTPHeaderField(*agent, "User-Agent");
  // RFC 9110 13.1.3: revalidate what we hold with its modification time.
  if (auto since = fileModificationDate()) request.setValueForHTTPHeaderField(*since, "If-Modified-Since");
  connection_ = platform::URLConnection::start(request, this);
  receivedData_.emplace();
}

void GADCachedFile::saveHeadersFromResponse(const platform::HTTPResponse& response) {
  httpHeaders_ = response.allHeaderFields();
}

void GADCachedFile::cleanUpConnection() {
  // A write under way goes on to its end; its report does not come.
  if (write_) platform::RunLoop::main().cancelPerformRequests(write_.get());
  write_.reset();
  if (connection_) {
    auto connection = std::move(connection_);
    connection->cancel();
  }
  receivedData_.reset();
  receivedModificationDate_.reset();
}

// The connection is cleaned up before every report, so that a delegate
// that destroys this file, or starts a new fetch, finds it idle.
void GADCachedFile::reportEnd() {
  if (delegate_) delegate_->cachedFileDownloadDidEnd(*this);
}

void GADCachedFile::reportFailure(const platform::Error* error) {
  if (delegate_) delegate_->cachedFileDownloadDidFail(*this, error);
}

// Each redirect hop is put to the delegate (RFC 9110 15.4 leaves following
// a redirect to the client).
std::optional<platform::URLRequest> GADCachedFile::connectionWillSendRequest(platform::URLConnection&,
                                                                             platform::URLRequest request,
                                                                             const platform::HTTPResponse* redirect) {
  httpDestinationURL_ = request.url();
  if (!redirect) return request;
  saveHeadersFromResponse(*redirect);
  if (!delegate_) return request;
  auto alive = alive_;
  auto refusal = delegate_->cachedFileShouldRedirectToURL(*this, request.url());
  if (!*alive) return std::nullopt;
  if (!refusal) return request;
  cleanUpConnection();
  reportFailure(&*refusal);
  return std::nullopt;
}

void GADCachedFile::connectionDidReceiveResponse(platform::URLConnection&, const platform::HTTPResponse& response) {
  httpStatusCode_ = response.statusCode();
  saveHeadersFromResponse(response);
  if (receivedData_) receivedData_->clear();
  if (httpStatusCode_ == 200) {
    std::string modified = response.valueForHeaderField("Last-Modified").value_or("");
    if (size_t gmt = modified.find("GMT"); gmt != std::string::npos) modified.resize(gmt);
    receivedModificationDate_ = modified;
    return;
  }
  cleanUpConnection();
  // RFC 9110 15.4.5: a 304 confirms a copy we hold; without one nothing is
  // current.
  if (httpStatusCode_ == 304 && ownsFile()) {
    reportEnd();
  } else if (httpStatusCode_ == 304) {
    const platform::Error noCopy{kGADCachedFileErrorDomain, 1, "304 Not Modified without a cached copy"};
    reportFailure(&noCopy);
  } else {
    reportFailure(nullptr);
  }
}

void GADCachedFile::connectionDidReceiveData(platform::URLConnection&, std::span<const std::uint8_t> data) {
  if (!receivedData_) return;
  if (receivedData_->size() + data.size() > kMaximumBodyBytes) {
    cleanUpConnection();
    const platform::Error tooLarge{platform::kURLErrorDomain, -1103, "resource exceeds maximum size"};
    reportFailure(&tooLarge);
    return;
  }
  receivedData_->insert(receivedData_->end(), data.begin(), data.end());
}

void GADCachedFile::connectionDidFinishLoading(platform::URLConnection&) {
  auto path = filePath();
  std::vector<std::uint8_t> body = receivedData_ ? std::move(*receivedData_) : std::vector<std::uint8_t>();
  const std::string modified = receivedModificationDate_.value_or("");
  cleanUpConnection();
  if (!path) {
    const platform::Error noCaches{platform::kFileErrorDomain, 4, "no caches directory"};
    reportFailure(&noCaches);
    return;
  }
  // The disk may take its time (each file is flushed): not on the main
  // thread. The fetch ends when the body is there.
  write_ = std::make_shared<Write>();
  {
    std::lock_guard lock(writes().mutex);
    write_->ticket = ++writes().lastTicket;
    ++writes().byPath[path->string()].underWay;
  }
  platform::RunLoop::main().performInBackground(
      write_,
      [write = write_, path = *path, header = headerFor(sourceURL_.absoluteString()), body = std::move(body),
       modified] { writeFile(*write, path, header, body, modified); },
      // Only the write under way reports, and only to a file still here.
      [this, alive = alive_, write = write_.get()] {
        if (*alive && write_.get() == write) writeDidEnd();
      });
}

void GADCachedFile::writeDidEnd() {
  const auto write = std::move(write_);
  switch (write->outcome) {
    case Write::Outcome::Landed:
      reportEnd();
      return;
    case Write::Outcome::Overtaken: {
      // A later write of the file landed first: current if it is this URL's.
      if (hasContent()) {
        reportEnd();
        return;
      }
      const platform::Error taken{kGADCachedFileErrorDomain, 2, "the file was written for another URL meanwhile"};
      reportFailure(&taken);
      return;
    }
    case Write::Outcome::Failed:
      reportFailure(write->failure ? &*write->failure : nullptr);
      return;
  }
}

void GADCachedFile::connectionDidFailWithError(platform::URLConnection&, const platform::Error& error) {
  cleanUpConnection();
  reportFailure(&error);
}
