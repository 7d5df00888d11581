// Property-list files (XML and binary) read into and written from Value.
#pragma once

#include <expected>
#include <filesystem>
#include <span>
#include <string>

#include "platform/Error.h"
#include "platform/Value.h"

namespace platform {

inline constexpr const char* kPropertyListErrorDomain = "PropertyList";

class PropertyList {
 public:
  // Reads XML or binary.
  static std::expected<Value, Error> parse(std::span<const std::uint8_t> bytes);
  // kCannotRead when the file cannot be opened or read (it may be a good
  // one: never take it for a broken one); any other code when what was
  // read is no property list.
  static std::expected<Value, Error> readFile(const std::filesystem::path& path);
  static constexpr int kCannotRead = 3;
  // Fails (code 4) on a text or key holding a NUL character, which the
  // XML form cannot carry, rather than cut it short.
  static std::expected<std::string, Error> toXML(const Value& value);
};

}  // namespace platform
