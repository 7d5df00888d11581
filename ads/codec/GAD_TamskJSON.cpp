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

// Whether any byte of `w` is below 0x20, a quotation mark, a backslash or
// at least 0x80: the bytes a string's fast path cannot copy blindly.
inline bool hasSpecialByte(std::uint64_t w) {
  const std::uint64_t below20 = (w - kOnes * 0x20) & ~w;
  const std::uint64_t quote = w ^ (kOnes * '"');
  const std::uint64_t backslash = w ^ (kOnes * '\\');
  const std::uint64_t isQuote = (quote - kOnes) & ~quote;
  const std::uint64_t isBackslash = (backslash - kOnes) & ~backslash;
  return ((below20 | isQuote | isBackslash) & kHighs) != 0 || (w & kHighs) != 0;
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

GAD_TamskJSON::Text GAD_TamskJSON::stringWithObjectAllowScalar(const Value& value, bool allowScalar) {
  depth_ = 0;
  std::string out;
  if (!allowScalar && !value.isDictionary() && !value.isArray()) {
    fail(kGAD_TamskJSONErrorNotJSON, "Not valid type for JSON");
    return std::unexpected(error_);
  }
  if (!appendValue(value, out)) return std::unexpected(error_);
  return out;
}

void GAD_TamskJSON::appendIndent(std::string& out) const {
  out += '\n';
  out.append(static_cast<size_t>(depth_) * 2, ' ');
}

bool GAD_TamskJSON::appendValue(const Value& value, std::string& out) {
  switch (value.type()) {
    case Value::Type::Dictionary: return appendDictionary(*value.asDictionary(), out);
    case Value::Type::Array: return appendArray(*value.asArray(), out);
    case Value::Type::String: return appendString(*value.asString(), out);
    case Value::Type::Boolean: out += *value.asBoolean() ? "true" : "false"; return true;
    case Value::Type::Integer: {
      char buffer[24];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, *value.asInteger());
      out.append(buffer, result.ptr);
      return true;
    }
    case Value::Type::Real: {
      // NaN and the infinities have no JSON form: refused, never written.
      const double d = *value.asReal();
      if (!std::isfinite(d))
        return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for " + typeName(value));
      char buffer[32];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
      out.append(buffer, result.ptr);
      return true;
    }
    case Value::Type::Decimal: {
      const std::string& literal = value.asDecimal()->literal;
      if (!isJSONNumber(literal))
        return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for " + typeName(value));
      out += literal;
      return true;
    }
    case Value::Type::Null: out += "null"; return true;
    // Values with a text form of their own are written as that text.
    case Value::Type::Date:
    case Value::Type::Bytes: return appendString(value.description(), out);
  }
  return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for " + typeName(value));
}

bool GAD_TamskJSON::appendDictionary(const Dictionary& dictionary, std::string& out) {
  out += '{';
  ++depth_;
  const char* separator = humanReadable_ ? " : " : ":";
  std::vector<const Dictionary::Entry*> entries;
  entries.reserve(dictionary.size());
  for (const auto& entry : dictionary) entries.push_back(&entry);
  if (sortKeys_)
    std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
  bool first = true;
  for (const auto* entry : entries) {
    if (!first) out += ',';
    first = false;
    if (humanReadable_) appendIndent(out);
    if (!appendString(entry->first, out)) return false;
    out += separator;
    if (!appendValue(entry->second, out))
      return fail(kGAD_TamskJSONErrorUnsupported, "Unsupported value for key " + entry->first + " in object");
  }
  --depth_;
  if (humanReadable_ && !dictionary.empty()) appendIndent(out);
  out += '}';
  return true;
}

bool GAD_TamskJSON::appendArray(const Value::Array& array, std::string& out) {
  out += '[';
  ++depth_;
  bool first = true;
  for (const auto& element : array) {
    if (!first) out += ',';
    first = false;
    if (humanReadable_) appendIndent(out);
    if (!appendValue(element, out)) return false;
  }
  --depth_;
  if (humanReadable_ && !array.empty()) appendIndent(out);
  out += ']';
  return true;
}

bool GAD_TamskJSON::appendString(std::string_view text, std::string& out) {
  static const char* const kHex = "0123456789abcdef";
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  const char* p = text.data();
  const char* const end = p + text.size();
  const char* run = p;
  while (p < end) {
    if (end - p >= 8 && !hasSpecialByte(load8(p))) {
      p += 8;
      continue;
    }
    const unsigned char b = static_cast<unsigned char>(*p);
    if (b >= 0x80) {
      // Text that is not UTF-8 has no JSON form: refused, never written.
      const char* start = p;
      ++p;
      while (p < end && static_cast<unsigned char>(*p) >= 0x80) ++p;
      if (!platform::isValidUTF8(std::string_view(start, static_cast<size_t>(p - start))))
        return fail(kGAD_TamskJSONErrorUnsupported, "JSON serialisation not supported for text that is not UTF-8");
      continue;
    }
    if (b >= 0x20 && b != '"' && b != '\\') {
      ++p;
      continue;
    }
    out.append(run, p);
    out += '\\';
    switch (b) {
      case '\b': out += 'b'; break;
      case '\t': out += 't'; break;
      case '\n': out += 'n'; break;
      case '\f': out += 'f'; break;
      case '\r': out += 'r'; break;
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      default:
        out += "u00";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    run = ++p;
  }
  out.append(run, end);
  out += '"';
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
    case '"': {
      std::string text;
      if (!scanRestOfString(text)) return false;
      out = Value(std::move(text));
      return true;
    }
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
  Value::Array array;
  for (;;) {
    if (c_ >= end_) return fail(kGAD_TamskJSONErrorEndOfInput, "End of input while parsing array");
    skipWhitespace();
    if (peek() == ']') {
      ++c_;
      leaveContainer();
      out = Value(std::move(array));
      return true;
    }
    Value element;
    if (!scanValue(element)) return failWithCause(kGAD_TamskJSONErrorParse, "Expected value while parsing array");
    array.push_back(std::move(element));
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
  Dictionary dictionary;
  for (;;) {
    if (c_ >= end_) return fail(kGAD_TamskJSONErrorEndOfInput, "End of input while parsing object");
    skipWhitespace();
    if (peek() == '}') {
      ++c_;
      leaveContainer();
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
    dictionary.appendUnchecked(std::move(key), std::move(value));
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
  for (;;) {
    // The longest run of plain bytes goes in at once.
    const char* run = c_;
    bool nonASCII = false;
    while (c_ < end_) {
      if (end_ - c_ >= 8) {
        const std::uint64_t w = load8(c_);
        if (!hasSpecialByte(w)) {
          c_ += 8;
          continue;
        }
      }
      const unsigned char b = static_cast<unsigned char>(*c_);
      if (b < 0x20 || b == '"' || b == '\\') break;
      if (b >= 0x80) nonASCII = true;
      ++c_;
    }
    if (c_ > run) {
      const std::string_view plain(run, static_cast<size_t>(c_ - run));
      // Bytes that are not UTF-8 are refused rather than passed on.
      if (nonASCII && !platform::isValidUTF8(plain))
        return fail(kGAD_TamskJSONErrorUnicode, "Invalid UTF-8 in string");
      out.append(plain);
    }
    const char ch = peek();
    if (ch == '"') {
      ++c_;
      return true;
    }
    if (ch == '\\') {
      ++c_;
      const char escape = peek();
      switch (escape) {
        case '"':
        case '/':
        case '\\': out += escape; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u':
          ++c_;
          if (!scanUnicodeChar(out)) return failWithCause(kGAD_TamskJSONErrorUnicode, "Broken unicode character");
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
  out = Value(Value::Decimal{std::string(start, static_cast<size_t>(c_ - start))});
  return true;
}
