// The one way the system writes log lines: each line begins with "<Rezido> ".
#pragma once

#include <functional>
#include <string>

namespace platform {

// Formats like printf and writes one "<Rezido> "-prefixed line to the log
// (standard error unless a sink is set); line breaks in what it formats
// become blanks. Any thread.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Receives each complete line, prefix included, instead of standard error.
// Pass an empty function to restore standard error.
using LogSink = std::function<void(const std::string& line)>;
void setLogSinkForTesting(LogSink sink);

}  // namespace platform
