// The one way the system writes log lines: each line begins with "<Rezido> ".
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// Formats like printf and writes one "<Rezido> "-prefixed line to the log
// (standard error unless a sink is set); line breaks in what it formats
// become blanks. Any thread.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text from outside (a page's, a server's) made fit for one log line: at
// most `maxBytes` bytes, with every control byte turned into a blank, so it
// can neither flood the log nor forge lines of its own.
std::string printableLogText(const std::string& text, size_t maxBytes);

// Receives each complete line, prefix included, instead of standard error.
// Pass an empty function to restore standard error.
using LogSink = std::function<void(const std::string& line)>;
void setLogSinkForTesting(LogSink sink);

}  // namespace platform
