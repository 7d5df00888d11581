// An error as a value: a domain, a code and a message, optionally with the
// error that caused it.
#pragma once

#include <memory>
#include <string>

namespace platform {

struct Error {
  std::string domain;
  long code = 0;
  std::string message;
  std::shared_ptr<const Error> cause;
};

}  // namespace platform
