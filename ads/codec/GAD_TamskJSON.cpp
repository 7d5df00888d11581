#include "ads/codec/GAD_TamskJSON.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/UTF8.h"

using platform::Dictionary;
using platform::Error;
using platform::Value;

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

// The high bit of each byte of `w` (little-endian) that is below 0x20, a
// quotation mark, a backslash or at least 0x80: the bytes a string's fast
// path cannot copy blindly. The lowest set bit marks the first such byte
// exactly (higher ones may be false alarms).
inline std::uint64_t specialBytes(std::uint64_t w) {
  const std::uint64_t below20 = (w - kOnes * 0x20) & ~w;
  const std::uint64_t quote = w ^ (kOnes * '"');
  const std::uint64_t backslash = w ^ (kOnes * '\\');
  const std::uint64_t isQuote = (quote - kOnes) & ~quote;
  const std::uint64_t isBackslash = (backslash - kOnes) & ~backslash;
  return (below20 | isQuote | isBackslash | w) & kHighs;
}

inline std::uint64_t load8(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

// A JSON number exactly: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJSONNumber(std::string_view t) {
  size_t i = 0;
  auto digits = [&] {
    const size_t start = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    return i > start;
  };
  if (i < t.size() && t[i] == '-') ++i;
  if (i < t.size() && t[i] == '0')
    ++i;
  else if (!digits())
    return false;
  if (i < t.size() && t[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == t.size();
}

inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void appendUTF8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string typeName(const Value& value) {
  switch (value.type()) {
    case Value::Type::Real: return "NSNumber";
    case Value::Type::Decimal: return "NSDecimalNumber";
    case Value::Type::String: return "NSString";
    default: return "NSObject";
  }
}

}  // namespace

// ---------------------------------------------------------------- writing

void GAD_TamskJSON::Buffer::grow(size_t n) {
  const size_t wanted = std::max(length_ + n, data_.size() * 2 + 64);
  // The new room is written before it is read: no need to clear it.
  // The count is returned as captured: this libstdc++ passes the capacity.
  data_.resize_and_overwrite(wanted, [wanted](char*, size_t) { return wanted; });
}

void GAD_TamskJSON::Buffer::put(std::string_view text) {
  char* p = reserve(text.size());
  std::memcpy(p, text.data(), text.size());
  length_ += text.size();
}

std::string GAD_TamskJSON::Buffer::take() {
  data_.resize(length_);
  length_ = 0;
  return std::move(data_);
}

GAD_TamskJSON::Text GAD_TamskJSON::stringWithObjectAllowScalar(const Value& value, bool allowScalar) {
  depth_ = 0;
  if (!allowScalar && !value.isDictionary() && !value.isArray()) {
    fail(kGAD_TamskJSONErrorNotJSON, "Not valid type for JSON");
    return std::unexpected(error_);
  }
  Buffer out;
  if (!appendValue(value, out)) return std::unexpected(error_);
  return out.take();
}

void GAD_TamskJSON::appendIndent(Buffer& out) const {
  const size_t blanks = static_cast<size_t>(depth_) * 2;
  char* p = out.reserve(blanks + 1);
  *p++ = '\n';
  std::memset(p, ' ', blanks);
  out.commit(p + blanks);
}

bool GAD_TamskJSON::appendValue(const Value& value, Buffer& out) {
  switch (value.type()) {
    case Value::Type::Dictionary: return appendDictionary(*value.asDictionary(), out);
    case Value::Type::Array: return appendArray(*value.asArray(), out);
    case Value::Type::String: return appendString(*value.asString(), out);
    case Value::Type::Boolean: out.put(*value.asBoolean() ? std::string_view("true") : std::string_view("false")); return true;
    case Value::Type::Integer: {
      char* p = out.reserve(24);
      out.commit(std::to_chars(p, p + 24, *value.asInteger()).ptr);
      return true;
    }
    case Value::Type::Real: {
      // NaN and the infinities have no JSON form: refused, never written.
      const double d = *value.asReal();
      if (!std::isfinite(d))
        return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for " + typeName(value));
      char* p = out.reserve(32);
      out.commit(std::to_chars(p, p + 32, d).ptr);
      return true;
    }
    case Value::Type::Decimal: {
      const std::string& literal = value.asDecimal()->literal;
      if (!isJSONNumber(literal))
        return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for " + typeName(value));
      out.put(literal);
      return true;
    }
    case Value::Type::Null: out.put("null"); return true;
    // Values with a text form of their own are written as that text.
    case Value::Type::Date:
    case Value::Type::Bytes: return appendString(value.description(), out);
  }
  return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for " + typeName(value));
}

bool GAD_TamskJSON::appendDictionary(const Dictionary& dictionary, Buffer& out) {
  out.put('{');
  ++depth_;
  const std::string_view separator = humanReadable_ ? " : " : ":";
  bool first = true;
  auto appendEntry = [&](const Dictionary::Entry& entry) {
    if (!first) out.put(',');
    first = false;
    if (humanReadable_) appendIndent(out);
    if (!appendString(entry.first, out)) return false;
    out.put(separator);
    if (!appendValue(entry.second, out))
      return fail(kGAD_TamskJSONErrorUnsupported, "Unsupported value for key " + entry.first + " in object");
    return true;
  };
  if (sortKeys_) {
    std::vector<const Dictionary::Entry*> sorted;
    sorted.reserve(dictionary.size());
    for (const auto& entry : dictionary) sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->first < b->first; });
    for (const auto* entry : sorted)
      if (!appendEntry(*entry)) return false;
  } else {
    for (const auto& entry : dictionary)
      if (!appendEntry(entry)) return false;
  }
  --depth_;
  if (humanReadable_ && !dictionary.empty()) appendIndent(out);
  out.put('}');
  return true;
}

bool GAD_TamskJSON::appendArray(const Value::Array& array, Buffer& out) {
  out.put('[');
  ++depth_;
  bool first = true;
  for (const auto& element : array) {
    if (!first) out.put(',');
    first = false;
    if (humanReadable_) appendIndent(out);
    if (!appendValue(element, out)) return false;
  }
  --depth_;
  if (humanReadable_ && !array.empty()) appendIndent(out);
  out.put(']');
  return true;
}

bool GAD_TamskJSON::appendString(std::string_view text, Buffer& out) {
  static const char* const kHex = "0123456789abcdef";
  // Worst case: every byte becomes "\u00XX"; the room is taken once.
  char* o = out.reserve(text.size() * 6 + 2);
  *o++ = '"';
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    if (end - p >= 8) {
      const std::uint64_t w = load8(p);
      const std::uint64_t special = specialBytes(w);
      // Copy the plain bytes before the first special one in one go.
      const int plain = special ? __builtin_ctzll(special) / 8 : 8;
      std::memcpy(o, &w, 8);
      o += plain;
      p += plain;
      if (plain == 8) continue;
    }
    const unsigned char b = static_cast<unsigned char>(*p);
    if (b >= 0x80) {
      // Text that is not UTF-8 has no JSON form: refused, never written.
      const size_t length = platform::utf8SequenceLength(p, end);
      if (length == 0)
        return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for text that is not UTF-8");
      std::memcpy(o, p, length);
      o += length;
      p += length;
      continue;
    }
    ++p;
    if (b >= 0x20 && b != '"' && b != '\\') {
      *o++ = static_cast<char>(b);
      continue;
    }
    *o++ = '\\';
    switch (b) {
      case '\b': *o++ = 'b'; break;
      case '\t': *o++ = 't'; break;
      case '\n': *o++ = 'n'; break;
      case '\f': *o++ = 'f'; break;
      case '\r': *o++ = 'r'; break;
      case '"': *o++ = '"'; break;
      case '\\': *o++ = '\\'; break;
      default:
        *o++ = 'u';
        *o++ = '0';
        *o++ = '0';
        *o++ = kHex[b >> 4];
        *o++ = kHex[b & 0xF];
    }
  }
  *o++ = '"';
  out.commit(o);
  return true;
}

// ---------------------------------------------------------------- reading

bool GAD_TamskJSON::fail(long code, std::string message) {
  error_ = Error{GAD_TamskJSONErrorDomain, code, std::move(message), nullptr};
  return false;
}

bool GAD_TamskJSON::failWithCause(long code, std::string message) {
  auto cause = std::make_shared<const Error>(std::move(error_));
  error_ = Error{GAD_TamskJSONErrorDomain, code, std::move(message), std::move(cause)};
  return false;
}

void GAD_TamskJSON::skipWhitespace() {
  while (c_ < end_ && isSpace(*c_)) ++c_;
}

GAD_TamskJSON::Parsed GAD_TamskJSON::objectWithStringAllowScalar(std::optional<std::string_view> text,
                                                                 bool allowScalar) {
  if (!text) {
    fail(kGAD_TamskJSONErrorNil, "Input was 'nil'");
    return std::unexpected(error_);
  }
  depth_ = 0;
  level_ = 0;
  elementStack_.clear();
  entryStack_.clear();
  c_ = text->data();
  end_ = c_ + text->size();
  if (const void* nul = std::memchr(c_, '\0', text->size())) end_ = static_cast<const char*>(nul);
  Value value;
  if (!scanValue(value)) return std::unexpected(error_);
  if (!scanIsAtEnd()) {
    fail(kGAD_TamskJSONErrorGarbage, "Garbage after JSON");
    return std::unexpected(error_);
  }
  if (!allowScalar && !value.isDictionary() && !value.isArray()) {
    fail(kGAD_TamskJSONErrorNotJSON, "Valid fragment, but not JSON");
    return std::unexpected(error_);
  }
  return value;
}

bool GAD_TamskJSON::scanIsAtEnd() {
  skipWhitespace();
  return c_ >= end_;
}

bool GAD_TamskJSON::scanValue(Value& out) {
  skipWhitespace();
  if (c_ >= end_) return fail(kGAD_TamskJSONErrorEndOfInput, "Unexpected end of string");
  const char ch = *c_++;
  auto literal = [&](const char* rest, size_t length, Value value, const char* expected) {
    if (static_cast<size_t>(end_ - c_) < length || std::memcmp(c_, rest, length) != 0)
      return fail(kGAD_TamskJSONErrorParse, expected);
    c_ += length;
    out = std::move(value);
    return true;
  };
  switch (ch) {
    case '[': return scanRestOfArray(out);
    case '{': return scanRestOfDictionary(out);
    case '"': return scanRestOfString(out.makeString());
    case 'n': return literal("ull", 3, Value(), "Expected 'null'");
    case 't': return literal("rue", 3, Value(true), "Expected 'true'");
    case 'f': return literal("alse", 4, Value(false), "Expected 'false'");
    case '+': return fail(kGAD_TamskJSONErrorNumber, "Leading + disallowed in number");
    default:
      if (ch == '-' || (ch >= '0' && ch <= '9')) {
        --c_;
        return scanNumber(out);
      }
      return fail(kGAD_TamskJSONErrorParse, "Unrecognised leading character");
  }
}

bool GAD_TamskJSON::enterContainer() {
  if (maxDepth_ != 0 && ++depth_ > maxDepth_) return fail(kGAD_TamskJSONErrorDepth, "Nested too deep");
  if (++level_ > kHardDepthLimit) return fail(kGAD_TamskJSONErrorDepth, "Nested too deep");
  return true;
}

void GAD_TamskJSON::leaveContainer() {
  if (maxDepth_ != 0) --depth_;
  --level_;
}

bool GAD_TamskJSON::scanRestOfArray(Value& out) {
  if (!enterContainer()) return false;
  const size_t base = elementStack_.size();
  for (;;) {
    if (c_ >= end_) return fail(kGAD_TamskJSONErrorEndOfInput, "End of input while parsing array");
    skipWhitespace();
    if (peek() == ']') {
      ++c_;
      leaveContainer();
      Value::Array& array = out.makeArray();
      array.assign(std::make_move_iterator(elementStack_.begin() + static_cast<std::ptrdiff_t>(base)),
                   std::make_move_iterator(elementStack_.end()));
      elementStack_.resize(base);
      return true;
    }
    // Read into a local: nested containers grow the stack under a reference.
    Value element;
    if (!scanValue(element)) return failWithCause(kGAD_TamskJSONErrorParse, "Expected value while parsing array");
    elementStack_.push_back(std::move(element));
    skipWhitespace();
    if (peek() == ',') {
      ++c_;
      skipWhitespace();
      if (peek() == ']') return fail(kGAD_TamskJSONErrorTrailingComma, "Trailing comma disallowed in array");
    }
  }
}

bool GAD_TamskJSON::scanRestOfDictionary(Value& out) {
  if (!enterContainer()) return false;
  const size_t base = entryStack_.size();
  for (;;) {
    if (c_ >= end_) return fail(kGAD_TamskJSONErrorEndOfInput, "End of input while parsing object");
    skipWhitespace();
    if (peek() == '}') {
      ++c_;
      leaveContainer();
      std::vector<Dictionary::Entry> entries(
          std::make_move_iterator(entryStack_.begin() + static_cast<std::ptrdiff_t>(base)),
          std::make_move_iterator(entryStack_.end()));
      entryStack_.resize(base);
      Dictionary dictionary(std::move(entries));
      dictionary.removeDuplicateKeys();
      out = Value(std::move(dictionary));
      return true;
    }
    if (peek() != '"') return fail(kGAD_TamskJSONErrorParse, "Object key string expected");
    ++c_;
    std::string key;
    if (!scanRestOfString(key)) return failWithCause(kGAD_TamskJSONErrorParse, "Object key string expected");
    skipWhitespace();
    if (peek() != ':') return fail(kGAD_TamskJSONErrorParse, "Expected ':' separating key and value");
    ++c_;
    Value value;
    if (!scanValue(value)) return failWithCause(kGAD_TamskJSONErrorParse, "Object value expected for key: " + key);
    entryStack_.emplace_back(std::move(key), std::move(value));
    skipWhitespace();
    if (peek() == ',') {
      ++c_;
      skipWhitespace();
      if (peek() == '}') return fail(kGAD_TamskJSONErrorTrailingComma, "Trailing comma disallowed in object");
    }
  }
}

bool GAD_TamskJSON::scanRestOfString(std::string& out) {
  char message[64];
  // Plain text straight to its own string; text with escapes goes through
  // the scratch buffer so that the result is allocated once.
  bool escaped = false;
  for (;;) {
    // The longest run of plain bytes goes in at once. The cursor lives in a
    // local while scanning, so that it stays in a register.
    const char* run = c_;
    const char* p = c_;
    const char* const end = end_;
    while (p < end) {
      if (end - p >= 8) {
        const std::uint64_t special = specialBytes(load8(p));
        if (!special) {
          p += 8;
          continue;
        }
        p += __builtin_ctzll(special) / 8;
      }
      const unsigned char b = static_cast<unsigned char>(*p);
      if (b < 0x20 || b == '"' || b == '\\') break;
      if (b < 0x80) {
        ++p;
        continue;
      }
      // Bytes that are not UTF-8 are refused rather than passed on.
      const size_t length = platform::utf8SequenceLength(p, end);
      if (length == 0) {
        c_ = p;
        return fail(kGAD_TamskJSONErrorUnicode, "Invalid UTF-8 in string");
      }
      p += length;
    }
    c_ = p;
    const char ch = peek();
    if (ch == '"') {
      if (escaped) {
        scratch_.append(run, static_cast<size_t>(c_ - run));
        out.assign(scratch_);
      } else {
        out.assign(run, static_cast<size_t>(c_ - run));
      }
      ++c_;
      return true;
    }
    if (!escaped) {
      scratch_.clear();
      escaped = true;
    }
    scratch_.append(run, static_cast<size_t>(c_ - run));
    if (ch == '\\') {
      ++c_;
      const char escape = peek();
      switch (escape) {
        case '"':
        case '/':
        case '\\': scratch_ += escape; break;
        case 'b': scratch_ += '\b'; break;
        case 'f': scratch_ += '\f'; break;
        case 'n': scratch_ += '\n'; break;
        case 'r': scratch_ += '\r'; break;
        case 't': scratch_ += '\t'; break;
        case 'u':
          ++c_;
          if (!scanUnicodeChar(scratch_)) return failWithCause(kGAD_TamskJSONErrorUnicode, "Broken unicode character");
          --c_;  // left on the escape's last byte, like the others
          break;
        default:
          std::snprintf(message, sizeof message, "Illegal escape sequence '0x%x'", static_cast<unsigned char>(escape));
          return fail(kGAD_TamskJSONErrorEscape, message);
      }
      ++c_;
      if (c_ >= end_) return fail(kGAD_TamskJSONErrorEndOfInput, "Unexpected EOF while parsing string");
      continue;
    }
    // A control byte, or the end of input inside the string (as 0x0).
    std::snprintf(message, sizeof message, "Unescaped control character '0x%x'", static_cast<unsigned char>(ch));
    return fail(kGAD_TamskJSONErrorControlCharacter, message);
  }
}

bool GAD_TamskJSON::scanHexQuad(unsigned& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const char ch = peek();
    unsigned digit;
    if (ch >= '0' && ch <= '9')
      digit = static_cast<unsigned>(ch - '0');
    else if (ch >= 'a' && ch <= 'f')
      digit = static_cast<unsigned>(ch - 'a' + 10);
    else if (ch >= 'A' && ch <= 'F')
      digit = static_cast<unsigned>(ch - 'A' + 10);
    else
      return fail(kGAD_TamskJSONErrorUnicode, "Missing hex digit in quad");
    value = value * 16 + digit;
    ++c_;
  }
  return true;
}

bool GAD_TamskJSON::scanUnicodeChar(std::string& out) {
  unsigned high = 0;
  if (!scanHexQuad(high)) return fail(kGAD_TamskJSONErrorUnicode, "Missing hex quad");
  if (high < 0xD800 || high >= 0xE000) {
    appendUTF8(out, high);
    return true;
  }
  if (high >= 0xDC00) return fail(kGAD_TamskJSONErrorUnicode, "Invalid high character in surrogate pair");
  if (end_ - c_ < 2 || c_[0] != '\\' || c_[1] != 'u')
    return fail(kGAD_TamskJSONErrorUnicode, "Missing low character in surrogate pair");
  c_ += 2;
  unsigned low = 0;
  if (!scanHexQuad(low)) return failWithCause(kGAD_TamskJSONErrorUnicode, "Missing low character in surrogate pair");
  if (low < 0xDC00 || low > 0xDFFF) return fail(kGAD_TamskJSONErrorUnicode, "Invalid low surrogate char");
  appendUTF8(out, 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00));
  return true;
}

bool GAD_TamskJSON::scanNumber(Value& out) {
  const char* start = c_;
  auto digit = [&] { return c_ < end_ && *c_ >= '0' && *c_ <= '9'; };
  if (peek() == '-') ++c_;
  if (peek() == '0') {
    ++c_;
    if (digit()) return fail(kGAD_TamskJSONErrorNumber, "Leading 0 disallowed in number");
  } else {
    if (!digit()) return fail(kGAD_TamskJSONErrorNumber, "No digits after initial minus");
    while (digit()) ++c_;
  }
  if (peek() == '.') {
    ++c_;
    if (!digit()) return fail(kGAD_TamskJSONErrorNumber, "No digits after decimal point");
    while (digit()) ++c_;
  }
  if (peek() == 'e' || peek() == 'E') {
    ++c_;
    if (peek() == '+' || peek() == '-') ++c_;
    if (!digit()) return fail(kGAD_TamskJSONErrorNumber, "No digits after exponent");
    while (digit()) ++c_;
  }
  // The literal itself is the value: exact, whatever its size or exponent.
  out.makeDecimal(start, static_cast<size_t>(c_ - start));
  return true;
}
