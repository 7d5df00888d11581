#include "platform/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace platform {

namespace {

constexpr const char* kCryptoErrorDomain = "Crypto";

std::expected<std::vector<std::uint8_t>, Error> aes128CBC(bool encrypt, const Crypto::Key& key,
                                                          const Crypto::Block& iv, std::span<const std::uint8_t> in) {
  if (in.size() % 16 != 0) return std::unexpected(Error{kCryptoErrorDomain, 1, "input is not whole blocks"});
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  if (!context || EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.data(), iv.data(), encrypt) != 1)
    return std::unexpected(Error{kCryptoErrorDomain, 2, "cipher set-up failed"});
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  std::vector<std::uint8_t> out(in.size() + 16);
  int written = 0, final = 0;
  if (EVP_CipherUpdate(context.get(), out.data(), &written, in.data(), static_cast<int>(in.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), out.data() + written, &final) != 1)
    return std::unexpected(Error{kCryptoErrorDomain, 3, "cipher failed"});
  out.resize(static_cast<size_t>(written + final));
  return out;
}

}  // namespace

Crypto::Block Crypto::randomBlock() {
  Block block{};
  if (RAND_bytes(block.data(), static_cast<int>(block.size())) == 1) return block;
  // OpenSSL could not seed itself: the kernel's source, which blocks until
  // it is ready rather than answer weakly.
  size_t filled = 0;
  while (filled < block.size()) {
    const ssize_t got = getrandom(block.data() + filled, block.size() - filled, 0);
    if (got > 0) filled += static_cast<size_t>(got);
    else if (got < 0 && errno != EINTR) std::abort();
  }
  return block;
}

Crypto::Digest Crypto::md5(std::span<const std::uint8_t> bytes) {
  Digest digest{};
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr);
  return digest;
}

std::expected<std::vector<std::uint8_t>, Error> Crypto::aes128CBCEncrypt(const Key& key, const Block& iv,
                                                                         std::span<const std::uint8_t> plain) {
  return aes128CBC(true, key, iv, plain);
}

std::expected<std::vector<std::uint8_t>, Error> Crypto::aes128CBCDecrypt(const Key& key, const Block& iv,
                                                                         std::span<const std::uint8_t> cipher) {
  return aes128CBC(false, key, iv, cipher);
}

}  // namespace platform
