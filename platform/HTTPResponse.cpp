#include "platform/HTTPResponse.h"

#include <strings.h>

#include "platform/URLRequest.h"

namespace platform {

std::optional<std::string> headerFieldValue(const Dictionary& headers, const std::string& name) {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0 && value.isString()) return *value.asString();
  }
  return std::nullopt;
}

std::optional<std::string> HTTPResponse::valueForHeaderField(const std::string& name) const {
  return headerFieldValue(headers_, name);
}

void URLRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& field) {
  for (auto& [name, existing] : headers_) {
    if (strcasecmp(name.c_str(), field.c_str()) == 0) {
      existing = value;
      return;
    }
  }
  headers_.emplace_back(field, value);
}

void URLRequest::removeHTTPHeaderField(const std::string& field) {
  std::erase_if(headers_, [&](const auto& header) { return strcasecmp(header.first.c_str(), field.c_str()) == 0; });
}

std::optional<std::string> URLRequest::valueForHTTPHeaderField(const std::string& field) const {
  for (const auto& [name, value] : headers_) {
    if (strcasecmp(name.c_str(), field.c_str()) == 0) return value;
  }
  return std::nullopt;
}

}  // namespace platform
