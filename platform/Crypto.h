// Digests and ciphers, on OpenSSL's libcrypto.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "platform/Error.h"

namespace platform {

class Crypto {
 public:
  using Digest = std::array<std::uint8_t, 16>;
  using Key = std::array<std::uint8_t, 16>;
  using Block = std::array<std::uint8_t, 16>;

  // RFC 1321.
  static Digest md5(std::span<const std::uint8_t> bytes);
  // AES-128 in CBC mode without block fill: `plain` must be a whole number
  // of 16-byte blocks, else an error.
  static std::expected<std::vector<std::uint8_t>, Error> aes128CBCEncrypt(const Key& key, const Block& iv,
                                                                          std::span<const std::uint8_t> plain);
  // Cryptographically strong random bytes.
  static Block randomBlock();
  static std::expected<std::vector<std::uint8_t>, Error> aes128CBCDecrypt(const Key& key, const Block& iv,
                                                                          std::span<const std::uint8_t> cipher);
};

}  // namespace platform
