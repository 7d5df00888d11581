#include "platform/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>
#include "platform/ProcessWide.h"

namespace platform {
namespace {

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

LogSink& sink() {
  return processWide<LogSink>();
}

}  // namespace

void log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line = "<Rezido> ";
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    line.append(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  // One call, one line: text from outside (a server's, a page's) can
  // neither break it nor forge lines of its own.
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';

  std::lock_guard lock(sinkMutex());
  if (sink()) {
    sink()(line);
    return;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

std::string printableLogText(const std::string& text, size_t maxBytes) {
  std::string out = text.substr(0, maxBytes);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = ' ';
  }
  return out;
}

void setLogSinkForTesting(LogSink newSink) {
  std::lock_guard lock(sinkMutex());
  sink() = std::move(newSink);
}

}  // namespace platform
