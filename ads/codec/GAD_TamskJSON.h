// The JSON codec: writes values as JSON text and reads JSON text back into
// values, following RFC 4627 with the codec's own limits, leniencies and
// error messages. The reader keeps every number exactly as written (a
// decimal literal, never rounded through double).
//
// One instance serves one run at a time; it is not shared between threads.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"

inline constexpr const char* GAD_TamskJSONErrorDomain = "com.rezido.ads.json";

enum GAD_TamskJSONErrorCode : long {
  kGAD_TamskJSONErrorUnsupported = 1,
  kGAD_TamskJSONErrorNumber = 2,
  kGAD_TamskJSONErrorParse = 3,
  kGAD_TamskJSONErrorNotJSON = 4,
  kGAD_TamskJSONErrorControlCharacter = 5,
  kGAD_TamskJSONErrorUnicode = 6,
  kGAD_TamskJSONErrorDepth = 7,
  kGAD_TamskJSONErrorEscape = 8,
  kGAD_TamskJSONErrorTrailingComma = 9,
  kGAD_TamskJSONErrorGarbage = 10,
  kGAD_TamskJSONErrorEndOfInput = 11,
  kGAD_TamskJSONErrorNil = 12,
};

class GAD_TamskJSON {
 public:
  static constexpr unsigned kDefaultMaxDepth = 512;
  // With maxDepth 0 (no limit of its own) the reader still stops here,
  // with "Nested too deep", rather than exhaust the stack.
  static constexpr unsigned kHardDepthLimit = 2048;

  using Text = std::expected<std::string, platform::Error>;
  using Parsed = std::expected<platform::Value, platform::Error>;

  bool humanReadable() const { return humanReadable_; }
  void setHumanReadable(bool on) { humanReadable_ = on; }
  bool sortKeys() const { return sortKeys_; }
  void setSortKeys(bool on) { sortKeys_ = on; }
  unsigned maxDepth() const { return maxDepth_; }
  void setMaxDepth(unsigned depth) { maxDepth_ = depth; }

  // Writing: a dictionary or array only / any value.
  Text stringWithObject(const platform::Value& value) { return stringWithObjectAllowScalar(value, false); }
  Text stringWithFragment(const platform::Value& value) { return stringWithObjectAllowScalar(value, true); }
  Text stringWithObjectAllowScalar(const platform::Value& value, bool allowScalar);

  // Reading: an object or array only / any value. Nullopt is the absent
  // input. The input ends at its first NUL byte.
  Parsed objectWithString(std::optional<std::string_view> text) { return objectWithStringAllowScalar(text, false); }
  Parsed fragmentWithString(std::optional<std::string_view> text) { return objectWithStringAllowScalar(text, true); }
  Parsed objectWithStringAllowScalar(std::optional<std::string_view> text, bool allowScalar);

 private:
  // The writer's output: grown by doubling, written through a pointer.
  class Buffer {
   public:
    // Room for `n` more bytes at the returned pointer; commit what was used.
    char* reserve(size_t n) {
      if (data_.size() - length_ < n) grow(n);
      return data_.data() + length_;
    }
    void commit(char* end) { length_ = static_cast<size_t>(end - data_.data()); }
    void put(char c) { *reserve(1) = c, ++length_; }
    void put(std::string_view text);
    std::string take();

   private:
    void grow(size_t n);
    std::string data_;
    size_t length_ = 0;
  };

  bool appendValue(const platform::Value& value, Buffer& out);
  bool appendDictionary(const platform::Dictionary& dictionary, Buffer& out);
  bool appendArray(const platform::Value::Array& array, Buffer& out);
  bool appendString(std::string_view text, Buffer& out);
  void appendIndent(Buffer& out) const;

  bool scanValue(platform::Value& out);
  bool scanRestOfDictionary(platform::Value& out);
  bool scanRestOfArray(platform::Value& out);
  bool scanRestOfString(std::string& out);
  bool scanNumber(platform::Value& out);
  bool scanUnicodeChar(std::string& out);
  bool scanHexQuad(unsigned& value);
  bool scanIsAtEnd();
  bool enterContainer();
  void leaveContainer();

  char peek() const { return c_ < end_ ? *c_ : '\0'; }
  void skipWhitespace();
  bool fail(long code, std::string message);
  bool failWithCause(long code, std::string message);

  // Scratch stacks for the elements of the containers being read: each
  // container's elements go on top and move out into one exact allocation.
  std::vector<platform::Value> elementStack_;
  std::vector<platform::Dictionary::Entry> entryStack_;
  // Where a string with escapes is put together before it gets its own,
  // exactly sized allocation.
  std::string scratch_;

  bool humanReadable_ = false;
  bool sortKeys_ = false;
  unsigned maxDepth_ = kDefaultMaxDepth;
  unsigned depth_ = 0;
  unsigned level_ = 0;  // nesting of the current read, whatever maxDepth says
  const char* c_ = nullptr;
  const char* end_ = nullptr;
  platform::Error error_;
};
