#include "ads/core/GADCachedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

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

// FNV-1a: stable across runs and builds, so one URL keeps one file.
std::uint32_t hashOfText(const std::string& text) {
  if (hashForTesting()) return hashForTesting()(text);
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

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
  // A body still being written is deleted by its writer once written.
  if (write_) write_->deleteWhenWritten = true;
  cleanUpConnection();
  // Another URL's file stays: it is not ours to delete.
  if (!ownsFile()) return;
  std::error_code ignored;
  std::filesystem::remove(*ownerNotePath(), ignored);
  std::filesystem::remove(*filePath(), ignored);
}

void GADCachedFile::setFileNameHashForTesting(std::function<std::uint32_t(const std::string&)> hash) {
  hashForTesting() = std::move(hash);
}

std::optional<std::filesystem::path> GADCachedFile::ownerNotePath() {
  auto path = filePath();
  if (!path) return std::nullopt;
  return std::filesystem::path(path->string() + ".url");
}

bool GADCachedFile::ownsFile() {
  auto note = ownerNotePath();
  if (!note) return false;
  std::ifstream in(*note, std::ios::binary);
  if (!in) return false;
  const std::string owner((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::error_code ec;
  return owner == sourceURL_.absoluteString() && std::filesystem::exists(*filePath(), ec);
}

// The note goes first and comes back last, so that a writer stopped at any
// point leaves a body that no URL claims rather than one claimed wrongly.
std::optional<platform::Error> GADCachedFile::writeFile(const std::filesystem::path& path,
                                                        const std::filesystem::path& note, const std::string& owner,
                                                        const std::vector<std::uint8_t>& body,
                                                        const std::string& modified) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::filesystem::remove(note, ec);
  if (auto written = platform::FileManager::writeAtomically(path, body); !written) return written.error();
  // The server's own date, so that the next conditional request carries it.
  if (!modified.empty()) {
    if (auto when = parseHTTPDate(modified)) {
      timespec times[2] = {{*when, 0}, {*when, 0}};
      ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
  }
  auto noted = platform::FileManager::writeAtomically(
      note, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(owner.data()), owner.size()));
  if (!noted) return noted.error();
  return std::nullopt;
}

std::optional<std::filesystem::path> GADCachedFile::filePath() {
  if (filePath_) return filePath_;
  auto caches = platform::FileManager::cachesDirectory();
  if (!caches) return std::nullopt;
  char name[16];
  std::snprintf(name, sizeof name, "%x", hashOfText(sourceURL_.absoluteString()));
  filePath_ = *caches / directoryNameForHost(sourceURL_.host()) / name;
  return filePath_;
}

std::optional<std::string> GADCachedFile::content() {
  auto path = filePath();
  if (!path || !ownsFile()) return std::nullopt;
  std::ifstream in(*path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!platform::isValidUTF8(text)) return std::nullopt;
  return text;
}

bool GADCachedFile::hasContent() { return ownsFile(); }

std::optional<std::string> GADCachedFile::fileModificationDate() {
  auto path = filePath();
  struct stat info{};
  if (!path || !ownsFile() || ::stat(path->c_str(), &info) != 0) return std::nullopt;
  return formatHTTPDate(info.st_mtim.tv_sec);
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
  platform::RunLoop::main().performInBackground(
      write_,
      [write = write_, path = *path, note = *ownerNotePath(), owner = sourceURL_.absoluteString(),
       body = std::move(body), modified] {
        write->failure = writeFile(path, note, owner, body, modified);
        if (write->deleteWhenWritten) {
          std::error_code ignored;
          std::filesystem::remove(note, ignored);
          std::filesystem::remove(path, ignored);
        }
      },
      // Only the write under way reports, and only to a file still here.
      [this, alive = alive_, write = write_.get()] {
        if (*alive && write_.get() == write) writeDidEnd(write_->failure);
      });
}

void GADCachedFile::writeDidEnd(std::optional<platform::Error> failure) {
  write_.reset();
  if (failure) {
    reportFailure(&*failure);
    return;
  }
  reportEnd();
}

void GADCachedFile::connectionDidFailWithError(platform::URLConnection&, const platform::Error& error) {
  cleanUpConnection();
  reportFailure(&error);
}
