#include "platform/HTTPHeaderParser.h"

#include <charconv>

#include "platform/ASCII.h"
#include "platform/URLError.h"

namespace platform {

namespace {

// RFC 9110 5.5: a CR, LF or NUL inside a field is replaced by a space.
std::string cleaned(std::string_view text) {
  std::string out = ascii::trimmed(text);
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return out;
}

}  // namespace

std::optional<int> HTTPHeaderParser::statusCode(std::string_view line) {
  if (!line.starts_with("HTTP/")) return std::nullopt;
  const size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const std::string_view rest = line.substr(space + 1);
  if (rest.size() < 3) return std::nullopt;
  for (size_t i = 0; i < 3; ++i)
    if (!ascii::isDigit(rest[i])) return std::nullopt;
  if (rest.size() > 3 && rest[3] != ' ' && rest[3] != '\r' && rest[3] != '\n') return std::nullopt;
  int code = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + 3, code);
  if (error != std::errc() || end != rest.data() + 3 || code < 100) return std::nullopt;
  return code;
}

HTTPHeaderParser::Step HTTPHeaderParser::fail(std::string message) {
  failure_ = Error{kURLErrorDomain, kURLErrorCannotParseResponse, std::move(message)};
  return Step::Failed;
}

HTTPHeaderParser::Step HTTPHeaderParser::take(std::string_view line) {
  if (failure_) return Step::Failed;
  bytes_ += line.size();
  if (bytes_ > kMaximumBytes) return fail("header section too large");
  // After the final answer's head: a chunked body's trailer, not the
  // response's fields (its answer has been handed on already), whatever it
  // looks like.
  if (headComplete_) return Step::Continue;
  if (line.starts_with("HTTP/")) {
    // A status line: a new answer (after an interim 1xx, say) starts.
    const auto code = statusCode(line);
    if (!code) return fail("malformed status line");
    status_ = *code;
    fields_.clear();
    fieldIndex_.clear();
    cookies_.clear();
    return Step::Continue;
  }
  if (status_ == 0) return fail("no status line");
  if (ascii::trimmed(line).empty()) {
    // RFC 9110 15.2: interim answers precede the real one.
    if (status_ < 200) return Step::Continue;
    headComplete_ = true;
    return Step::HeadComplete;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return Step::Continue;
  std::string name = cleaned(line.substr(0, colon));
  if (name.empty()) return Step::Continue;
  std::string value = cleaned(line.substr(colon + 1));
  if (ascii::equalsIgnoringCase(name, "Set-Cookie")) cookies_.push_back(value);
  if (const auto existing = fieldIndex_.find(name); existing != fieldIndex_.end()) {
    fields_[existing->second].second.append(", ").append(value);
  } else {
    fieldIndex_.emplace(name, fields_.size());
    fields_.emplace_back(std::move(name), std::move(value));
  }
  return Step::Continue;
}

Dictionary HTTPHeaderParser::fields() const {
  std::vector<Dictionary::Entry> entries;
  entries.reserve(fields_.size());
  for (const auto& [name, value] : fields_) entries.emplace_back(name, value);
  return Dictionary(std::move(entries));
}

}  // namespace platform
