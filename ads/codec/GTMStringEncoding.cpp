#include "ads/codec/GTMStringEncoding.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "platform/UTF8.h"

namespace {

bool isASCII(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 128) return false;
  return true;
}

[[noreturn]] void programmingError(const char* what) {
  std::fprintf(stderr, "GTMStringEncoding: %s\n", what);
  std::abort();
}

}  // namespace

bool GTMStringEncoding::init(std::string_view alphabet) {
  if (!isASCII(alphabet)) return false;
  const size_t n = alphabet.size();
  if (n < 2 || n > 128 || (n & (n - 1)) != 0) return false;
  charMap_ = std::string(alphabet);
  reverseCharMap_.fill(kUnknown);
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(alphabet[i]);
    if (reverseCharMap_[c] != kUnknown) return false;
    reverseCharMap_[c] = static_cast<int>(i);
  }
  shift_ = 0;
  while ((1u << shift_) < n) ++shift_;
  mask_ = (1 << shift_) - 1;
  padLen_ = std::lcm(8, shift_) / shift_;
  rebuildFastTables();
  return true;
}

void GTMStringEncoding::rebuildFastTables() {
  if (shift_ != 6 && shift_ != 4) return;
  auto tables = std::make_shared<FastTables>();
  if (shift_ == 6) {
    for (unsigned i = 0; i < 4096; ++i) {
      const auto first = static_cast<unsigned char>(charMap_[i >> 6]);
      const auto second = static_cast<unsigned char>(charMap_[i & 63]);
      // Stored so that a little-endian 16-bit write puts `first` first.
      tables->pairs[i] = static_cast<std::uint16_t>(first | (second << 8));
    }
  }
  const int groupChars = shift_ == 6 ? 4 : 2;
  for (int position = 0; position < groupChars; ++position) {
    const int bitsAfter = shift_ * (groupChars - 1 - position);
    for (unsigned c = 0; c < 256; ++c) {
      const int value = c < 128 ? reverseCharMap_[c] : kUnknown;
      tables->decode[static_cast<size_t>(position)][c] =
          value >= 0 ? static_cast<std::uint32_t>(value) << bitsAfter : kInvalidBit;
    }
  }
  fast_ = std::move(tables);
}

std::optional<GTMStringEncoding> GTMStringEncoding::stringEncodingWithString(std::string_view alphabet) {
  GTMStringEncoding encoding;
  if (!encoding.init(alphabet)) return std::nullopt;
  return encoding;
}

GTMStringEncoding GTMStringEncoding::make(std::string_view alphabet) {
  auto encoding = stringEncodingWithString(alphabet);
  if (!encoding) programmingError("unusable built-in alphabet");
  return *encoding;
}

// Each factory copies a prototype built once: the copy is a new encoder
// (changing it never changes another), sharing only immutable tables.
GTMStringEncoding GTMStringEncoding::binaryStringEncoding() {
  static const GTMStringEncoding prototype = make("01");
  return prototype;
}

GTMStringEncoding GTMStringEncoding::hexStringEncoding() {
  static const GTMStringEncoding prototype = [] {
    auto e = make("0123456789ABCDEF");
    e.addDecodeSynonyms("AaBbCcDdEeFf");
    return e;
  }();
  return prototype;
}

GTMStringEncoding GTMStringEncoding::padded(std::string_view alphabet) {
  auto e = make(alphabet);
  e.setPaddingChar('=');
  e.setDoPad(true);
  return e;
}

GTMStringEncoding GTMStringEncoding::rfc4648Base32StringEncoding() {
  static const GTMStringEncoding prototype = padded("ABCDEFGHIJKLMNOPQRSTUVWXYZ234567");
  return prototype;
}

GTMStringEncoding GTMStringEncoding::rfc4648Base32HexStringEncoding() {
  static const GTMStringEncoding prototype = padded("0123456789ABCDEFGHIJKLMNOPQRSTUV");
  return prototype;
}

GTMStringEncoding GTMStringEncoding::crockfordBase32StringEncoding() {
  static const GTMStringEncoding prototype = [] {
    auto e = make("0123456789ABCDEFGHJKMNPQRSTVWXYZ");
    e.addDecodeSynonyms("0oO1iIlLAaBbCcDdEeFfGgHhJjKkMmNnPpQqRrSsTtVvWwXxYyZz");
    return e;
  }();
  return prototype;
}

GTMStringEncoding GTMStringEncoding::rfc4648Base64StringEncoding() {
  static const GTMStringEncoding prototype =
      padded("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
  return prototype;
}

GTMStringEncoding GTMStringEncoding::rfc4648Base64WebsafeStringEncoding() {
  static const GTMStringEncoding prototype =
      padded("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");
  return prototype;
}

void GTMStringEncoding::setPaddingChar(char padding) {
  paddingChar_ = padding;
  const auto c = static_cast<unsigned char>(padding);
  if (c < 128) reverseCharMap_[c] = kPadding;
  rebuildFastTables();
}

void GTMStringEncoding::addDecodeSynonyms(std::string_view synonyms) {
  int current = kUnknown;
  for (unsigned char c : synonyms) {
    if (c >= 128) continue;
    if (reverseCharMap_[c] != kUnknown)
      current = reverseCharMap_[c];
    else
      reverseCharMap_[c] = current;
  }
  rebuildFastTables();
}

void GTMStringEncoding::ignoreCharacters(std::string_view characters) {
  for (unsigned char c : characters) {
    if (c >= 128) continue;
    if (reverseCharMap_[c] != kUnknown) programmingError("Character already mapped");
    reverseCharMap_[c] = kIgnored;
  }
  rebuildFastTables();
}

std::string GTMStringEncoding::encode(std::span<const std::uint8_t> data) const {
  if (data.empty()) return {};
  const size_t bits = data.size() * 8;
  size_t length = (bits + static_cast<size_t>(shift_) - 1) / static_cast<size_t>(shift_);
  // Padding needs a padding character: without one there is nothing to pad
  // with (NUL bytes would make text that no decoder takes back).
  const bool pad = doPad_ && paddingChar_ != 0;
  if (pad) length = (length + static_cast<size_t>(padLen_) - 1) / static_cast<size_t>(padLen_) * static_cast<size_t>(padLen_);
  std::string out;
  // Every byte is written below: no need to clear the room first. (The
  // count is returned as captured: this libstdc++ passes the capacity.)
  out.resize_and_overwrite(length, [length](char*, size_t) { return length; });
  char* o = out.data();
  const char* map = charMap_.data();
  size_t i = 0;

  // Fast paths for whole groups; the general loop below finishes the tail
  // exactly as it would have done the whole.
  if (shift_ == 6) {
    const auto& pairs = fast_->pairs;
    for (; i + 3 <= data.size(); i += 3) {
      const std::uint32_t v = (std::uint32_t(data[i]) << 16) | (std::uint32_t(data[i + 1]) << 8) | data[i + 2];
      const std::uint16_t high = pairs[v >> 12], low = pairs[v & 4095];
      std::memcpy(o, &high, 2);
      std::memcpy(o + 2, &low, 2);
      o += 4;
    }
  } else if (shift_ == 4) {
    for (; i < data.size(); ++i) {
      *o++ = map[data[i] >> 4];
      *o++ = map[data[i] & 15];
    }
  }

  if (i < data.size()) {
    std::uint32_t buffer = data[i++];
    int available = 8;
    while (available > 0 || i < data.size()) {
      if (available < shift_) {
        if (i < data.size()) {
          buffer = (buffer << 8) | data[i++];
          available += 8;
        } else {
          const int pad = shift_ - available;
          buffer <<= pad;
          available += pad;
        }
      }
      const int index = static_cast<int>(buffer >> (available - shift_)) & mask_;
      available -= shift_;
      *o++ = map[index];
    }
  }
  while (pad && o < out.data() + out.size()) *o++ = paddingChar_;
  if (o != out.data() + out.size()) programmingError("Underflowed output buffer");
  return out;
}

std::string GTMStringEncoding::encodeString(std::string_view text) const {
  return encode(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<std::vector<std::uint8_t>> GTMStringEncoding::decode(std::string_view text) const {
  const size_t room = text.size() * static_cast<size_t>(shift_) / 8;
  std::vector<std::uint8_t> out(room);
  std::uint8_t* o = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();

  // Fast paths: whole groups of plain alphabet characters, which leave
  // nothing in the accumulator; anything else goes to the general loop.
  if (shift_ == 6) {
    const auto& d = fast_->decode;
    while (end - p >= 4) {
      const std::uint32_t v = d[0][p[0]] | d[1][p[1]] | d[2][p[2]] | d[3][p[3]];
      if (v & kInvalidBit) break;
      o[0] = static_cast<std::uint8_t>(v >> 16);
      o[1] = static_cast<std::uint8_t>(v >> 8);
      o[2] = static_cast<std::uint8_t>(v);
      o += 3;
      p += 4;
    }
  } else if (shift_ == 4) {
    const auto& d = fast_->decode;
    while (end - p >= 2) {
      const std::uint32_t v = d[0][p[0]] | d[1][p[1]];
      if (v & kInvalidBit) break;
      *o++ = static_cast<std::uint8_t>(v);
      p += 2;
    }
  }

  std::uint32_t buffer = 0;
  int held = 0;
  bool paddingSeen = false;
  for (; p < end; ++p) {
    if (*p >= 128) return std::nullopt;
    const int value = reverseCharMap_[*p];
    if (value == kIgnored) continue;
    if (value == kPadding) {
      paddingSeen = true;
      continue;
    }
    if (value == kUnknown || paddingSeen) return std::nullopt;
    buffer = (buffer << shift_) | static_cast<std::uint32_t>(value);
    held += shift_;
    if (held >= 8) {
      held -= 8;
      if (o >= out.data() + out.size()) programmingError("Overflowed buffer");
      *o++ = static_cast<std::uint8_t>(buffer >> held);
    }
    buffer &= (1u << held) - 1;
  }
  if (held > 0 && (buffer & ((1u << held) - 1)) != 0) return std::nullopt;
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

std::optional<std::string> GTMStringEncoding::stringByDecoding(std::string_view text) const {
  auto bytes = decode(text);
  if (!bytes) return std::nullopt;
  std::string result(bytes->begin(), bytes->end());
  if (!platform::isValidUTF8(result)) return std::nullopt;
  return result;
}

std::string GTMStringEncoding::description() const {
  char head[48];
  std::snprintf(head, sizeof head, "<Base%d StringEncoder: ", 1 << shift_);
  std::string text = head;
  text += '<';
  char hex[4];
  for (size_t i = 0; i < charMap_.size(); ++i) {
    if (i > 0 && i % 4 == 0) text += ' ';
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(charMap_[i]));
    text += hex;
  }
  return text + ">>";
}
