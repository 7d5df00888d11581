// An HTTP response's status line and header fields.
#pragma once

#include <optional>
#include <string>

#include "platform/URL.h"
#include "platform/Value.h"

namespace platform {

class HTTPResponse {
 public:
  HTTPResponse(URL url, int statusCode, Dictionary headers)
      : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {}

  const URL& url() const { return url_; }
  int statusCode() const { return statusCode_; }
  // Every field, name as sent, value as text; repeated fields are joined
  // with ", ".
  const Dictionary& allHeaderFields() const { return headers_; }
  // The field's value, names compared without case.
  std::optional<std::string> valueForHeaderField(const std::string& name) const;

 private:
  URL url_;
  int statusCode_;
  Dictionary headers_;
};

// Case-insensitive lookup of a header field in a dictionary of texts.
std::optional<std::string> headerFieldValue(const Dictionary& headers, const std::string& name);

}  // namespace platform
