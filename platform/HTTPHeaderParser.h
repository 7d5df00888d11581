// The head of an HTTP answer, read one line at a time as curl hands the
// lines over, each with its line break: a status line, its fields, the
// blank line that ends them. Interim answers (1xx, RFC 9110 15.2) come
// first and each is forgotten when the next status line starts another;
// what follows the final answer's head (a chunked body's trailer fields) is
// counted but never read. Repeated fields are joined with ", "; every
// Set-Cookie value is also kept apart. Servers are not trusted: a status
// line without a three-digit code, a line before any status line, or a
// header section past kMaximumBytes (trailers and interim answers
// included) is a malformed answer, and every line after that is refused.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"

namespace platform {

class HTTPHeaderParser {
 public:
  static constexpr size_t kMaximumBytes = 256 * 1024;

  enum class Step {
    Continue,      // read; more lines follow
    HeadComplete,  // the final answer's head is whole with this line
    Failed,        // malformed: failure() says why; the transfer stops
  };
  Step take(std::string_view line);

  // 0 until a status line has been read; then 100 to 999.
  int status() const { return status_; }
  // The fields of the answer under way (names as sent; no CR, LF or NUL),
  // in the order first sent.
  Dictionary fields() const;
  const std::vector<std::string>& cookies() const { return cookies_; }
  bool headComplete() const { return headComplete_; }
  // Every byte taken, trailers included.
  size_t bytes() const { return bytes_; }
  const std::optional<Error>& failure() const { return failure_; }

  // The code of a status line ("HTTP/1.1 200 OK", "HTTP/2 204 "): exactly
  // three digits after the version and one space, then a space or the
  // line's end. Nullopt for anything else.
  static std::optional<int> statusCode(std::string_view line);

 private:
  Step fail(std::string message);

  int status_ = 0;
  // Joined in place: a field repeated to the bound costs its size, not its
  // size squared.
  std::vector<std::pair<std::string, std::string>> fields_;
  std::unordered_map<std::string, size_t> fieldIndex_;
  std::vector<std::string> cookies_;
  bool headComplete_ = false;
  size_t bytes_ = 0;
  std::optional<Error> failure_;
};

}  // namespace platform
