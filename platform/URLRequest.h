// What to fetch: URL, method, header fields and cache policy.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/URL.h"

namespace platform {

enum class URLRequestCachePolicy {
  UseProtocolCachePolicy = 0,
  ReloadIgnoringLocalCacheData = 1,
};

class URLRequest {
 public:
  explicit URLRequest(URL url) : url_(std::move(url)) {}

  const URL& url() const { return url_; }
  void setURL(URL url) { url_ = std::move(url); }
  const std::string& method() const { return method_; }
  void setMethod(std::string method) { method_ = std::move(method); }
  URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }
  // The whole fetch, redirects and body included, fails with
  // kURLErrorTimedOut when it has not ended this many seconds after it
  // started (never mind how steadily bytes arrive).
  double timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
  bool shouldHandleCookies() const { return handleCookies_; }
  void setShouldHandleCookies(bool handle) { handleCookies_ = handle; }

  // Replaces any field of the same name (compared without case).
  void setValueForHTTPHeaderField(const std::string& value, const std::string& field);
  std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
  // Removes the field of that name (compared without case), if any.
  void removeHTTPHeaderField(const std::string& field);
  const std::vector<std::pair<std::string, std::string>>& allHTTPHeaderFields() const { return headers_; }

 private:
  URL url_;
  std::string method_ = "GET";
  URLRequestCachePolicy cachePolicy_ = URLRequestCachePolicy::UseProtocolCachePolicy;
  bool handleCookies_ = true;
  double timeoutInterval_ = 60;
  std::vector<std::pair<std::string, std::string>> headers_;
};

}  // namespace platform
