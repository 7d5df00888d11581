// decode: of every encoding, on any text: nil or bytes that encode to a text
// which decodes to the same bytes; and any bytes encode to a text that
// decodes back to them, padded or not.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ads/codec/GTMStringEncoding.h"

namespace {
GTMStringEncoding encodingFor(std::uint8_t selector) {
  switch (selector % 7) {
    case 0: return GTMStringEncoding::binaryStringEncoding();
    case 1: return GTMStringEncoding::hexStringEncoding();
    case 2: return GTMStringEncoding::rfc4648Base32StringEncoding();
    case 3: return GTMStringEncoding::rfc4648Base32HexStringEncoding();
    case 4: return GTMStringEncoding::crockfordBase32StringEncoding();
    case 5: return GTMStringEncoding::rfc4648Base64StringEncoding();
    default: return GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  GTMStringEncoding encoding = encodingFor(data[0]);
  if (data[0] & 0x80) encoding.setDoPad(!encoding.doPad());
  if (data[0] & 0x40) encoding.ignoreCharacters(" \n\t");
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  if (auto decoded = encoding.decode(text)) {
    auto again = encoding.decode(encoding.encode(*decoded));
    if (!again || *again != *decoded) __builtin_trap();
  }
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  auto back = encoding.decode(encoding.encode(bytes));
  if (!back || !std::equal(back->begin(), back->end(), bytes.begin(), bytes.end())) __builtin_trap();
  return 0;
}
