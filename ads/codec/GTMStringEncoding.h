// Bytes to text and back with an alphabet of 2, 4, 8, 16, 32, 64 or 128
// ASCII characters, each character carrying log2(size) bits: binary,
// hexadecimal, the base32 and base64 forms of RFC 4648 and Crockford's
// base32. Immutable once configured; usable from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class GTMStringEncoding {
 public:
  // Nullopt when the alphabet is not ASCII, not a power of two from 2 to
  // 128 long, or repeats a character.
  static std::optional<GTMStringEncoding> stringEncodingWithString(std::string_view alphabet);

  // Each call makes a new encoder.
  static GTMStringEncoding binaryStringEncoding();
  static GTMStringEncoding hexStringEncoding();
  static GTMStringEncoding rfc4648Base32StringEncoding();
  static GTMStringEncoding rfc4648Base32HexStringEncoding();
  static GTMStringEncoding crockfordBase32StringEncoding();
  static GTMStringEncoding rfc4648Base64StringEncoding();
  static GTMStringEncoding rfc4648Base64WebsafeStringEncoding();

  std::string encode(std::span<const std::uint8_t> data) const;
  std::string encodeString(std::string_view text) const;
  // Nullopt for text that is not ASCII, holds a character outside the
  // alphabet, its synonyms, padding and ignored set, a data character after
  // padding, or ends with non-zero spare bits.
  std::optional<std::vector<std::uint8_t>> decode(std::string_view text) const;
  // The decoded bytes as text; nullopt also when they are not UTF-8.
  std::optional<std::string> stringByDecoding(std::string_view text) const;

  bool doPad() const { return doPad_; }
  void setDoPad(bool pad) { doPad_ = pad; }
  void setPaddingChar(char padding);
  // Groups of a mapped character followed by characters that decode like it.
  void addDecodeSynonyms(std::string_view synonyms);
  // Characters that decoding skips. Each must be unmapped: mapping one that
  // is already mapped is a programming error and stops the process.
  void ignoreCharacters(std::string_view characters);

  std::string description() const;

 private:
  static constexpr int kUnknown = -1;
  static constexpr int kPadding = -2;
  static constexpr int kIgnored = -3;

  GTMStringEncoding() = default;
  static GTMStringEncoding make(std::string_view alphabet);
  static GTMStringEncoding padded(std::string_view alphabet);
  bool init(std::string_view alphabet);
  // Tables of the 6-bit and 4-bit fast paths, shared between copies and
  // made anew whenever the decoding rules change.
  struct FastTables {
    std::array<std::uint16_t, 4096> pairs;  // 12 bits -> two characters (6-bit alphabets)
    std::array<std::array<std::uint32_t, 256>, 4> decode;  // character -> bits in place, or kInvalidBit
  };
  static constexpr std::uint32_t kInvalidBit = 0x80000000u;
  void rebuildFastTables();

  std::string charMap_;
  std::array<int, 128> reverseCharMap_{};
  int shift_ = 0;
  int mask_ = 0;
  bool doPad_ = false;
  char paddingChar_ = 0;
  int padLen_ = 0;
  std::shared_ptr<const FastTables> fast_;
};
