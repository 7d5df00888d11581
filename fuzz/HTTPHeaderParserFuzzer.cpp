// Response heads as a server could send them, fed to the header parser one
// line at a time as curl hands them over (split after each LF, which stays
// on its line). The first byte repeats each line 1 to 256 times, so that
// small inputs reach the bound on the header section. The oracle:
// - the status is 0 or 100 to 999, and 0 only before any status line;
// - a line starting "HTTP/" before the head is complete is a status line
//   whose three digits are the status, or the answer fails;
// - the head completes once, on a blank line, with a final (2xx and up)
//   status; after it nothing read changes, whatever follows;
// - a failure stays, and nothing read changes after it;
// - the bytes taken never pass the bound without a failure, and neither
//   the fields nor the cookies held are more than the bytes taken;
// - no field name or value, and no cookie, holds CR, LF or NUL.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HTTPHeaderParser.h"
#include "platform/URLError.h"

using platform::HTTPHeaderParser;
using Step = HTTPHeaderParser::Step;

namespace {

bool holdsBreak(std::string_view text) { return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos; }

void check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t repeats = 1 + data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  HTTPHeaderParser parser;
  bool completed = false, failed = false;
  int frozenStatus = 0;
  platform::Dictionary frozenFields;
  std::vector<std::string> frozenCookies;
  size_t at = 0;
  while (at < text.size()) {
    const size_t newline = text.find('\n', at);
    const size_t end = newline == text.npos ? text.size() : newline + 1;
    const std::string_view line = text.substr(at, end - at);
    at = end;
    // Once failed, each line once: it stays failed.
    for (size_t r = 0; r < (failed ? 1 : repeats); ++r) {
      const bool wasComplete = parser.headComplete();
      const size_t bytesBefore = parser.bytes();
      const Step step = parser.take(line);
      if (!failed) check(parser.bytes() == bytesBefore + line.size());
      if (step == Step::Failed) {
        check(parser.failure().has_value());
        check(parser.failure()->code == platform::kURLErrorCannotParseResponse);
        if (!failed) {
          failed = true;
          frozenStatus = parser.status();
          frozenFields = parser.fields();
          frozenCookies = parser.cookies();
        }
      } else {
        check(!failed);
        check(!parser.failure());
        check(parser.bytes() <= HTTPHeaderParser::kMaximumBytes);
      }
      if (step == Step::HeadComplete) {
        check(!completed && !wasComplete);
        check(std::string_view(line).find_first_not_of(" \t\r\n\v\f") == std::string_view::npos);
        check(parser.status() >= 200);
        completed = true;
        frozenStatus = parser.status();
        frozenFields = parser.fields();
        frozenCookies = parser.cookies();
      } else if (!failed && !completed && line.starts_with("HTTP/")) {
        // A status line: its code, exactly.
        check(step == Step::Continue);
        const size_t space = line.find(' ');
        check(space != line.npos && line.size() >= space + 4);
        check(parser.status() == (line[space + 1] - '0') * 100 + (line[space + 2] - '0') * 10 + (line[space + 3] - '0'));
        check(parser.fields().empty() && parser.cookies().empty());
      }
      check(parser.headComplete() == completed);
      const int status = parser.status();
      check(status == 0 || (status >= 100 && status <= 999));
    }
  }
  // What is held, once at the end (each line would make it quadratic).
  if (completed || failed) {
    check(parser.status() == frozenStatus);
    check(parser.fields() == frozenFields);
    check(parser.cookies() == frozenCookies);
  }
  size_t held = 0;
  for (const auto& [name, value] : parser.fields()) {
    check(value.isString());
    check(!name.empty() && !holdsBreak(name) && !holdsBreak(*value.asString()));
    held += name.size() + value.asString()->size();
  }
  check(held <= parser.bytes());
  held = 0;
  for (const auto& cookie : parser.cookies()) {
    check(!holdsBreak(cookie));
    held += cookie.size();
  }
  check(held <= parser.bytes());
  return 0;
}
