// Content decoding, whatever a server sends: the first byte picks the
// coding (gzip, deflate or identity) and whether the last piece carries
// the end or an empty call does; the second seeds the sizes of the pieces
// (0 to 300 bytes) the rest is fed in. The bound is 64 KiB, so small inputs
// reach it. The oracle is a one-shot decode by zlib of the same bytes
// (deflate read as zlib or raw by the same first two bytes, as the RFC's
// wrapper is told from a raw stream):
// - where zlib decodes the stream whole within the bound, the decoder
//   hands over exactly its bytes and reports no error;
// - what is handed over is always a prefix of zlib's output and never
//   more than the bound;
// - a stream zlib finds cut short is never reported complete (connection
//   lost), a corrupt one fails as undecodable, one past the bound as too
//   large (or as what stopped zlib first within the same piece);
// - identity hands over the bytes as they are.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ContentDecoder.h"
#include "platform/URLError.h"

using platform::ContentDecoder;
using Coding = ContentDecoder::Coding;

namespace {

constexpr size_t kBound = 64 * 1024;

void check(bool condition) {
  if (!condition) __builtin_trap();
}

enum class Outcome { Whole, CutShort, Corrupt, TooLarge };

struct OneShot {
  Outcome outcome;
  std::string out;  // up to the bound and one piece past it
};

OneShot oneShot(std::string_view in, int windowBits) {
  z_stream z{};
  check(inflateInit2(&z, windowBits) == Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  OneShot result{Outcome::CutShort, {}};
  char buffer[4096];
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    const int status = inflate(&z, Z_NO_FLUSH);
    result.out.append(buffer, sizeof buffer - z.avail_out);
    if (status == Z_STREAM_END) {
      result.outcome = result.out.size() > kBound ? Outcome::TooLarge : Outcome::Whole;
      break;
    }
    if (result.out.size() > kBound) {
      result.outcome = Outcome::TooLarge;
      break;
    }
    if (status == Z_DATA_ERROR || status == Z_NEED_DICT || status == Z_MEM_ERROR) {
      result.outcome = Outcome::Corrupt;
      break;
    }
    if (status == Z_BUF_ERROR || (z.avail_in == 0 && z.avail_out != 0)) break;  // wants more than there is
  }
  inflateEnd(&z);
  return result;
}

bool isZlibHeader(std::string_view in) {
  if (in.size() < 2) return false;
  const auto cmf = static_cast<unsigned char>(in[0]), flg = static_cast<unsigned char>(in[1]);
  return (cmf & 0x0f) == 8 && (cmf * 256 + flg) % 31 == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const Coding coding = data[0] % 3 == 0 ? Coding::Gzip : data[0] % 3 == 1 ? Coding::Deflate : Coding::Identity;
  const bool endWithLastPiece = data[0] & 0x80;
  std::uint32_t seed = data[1] * 2654435761u + 1;
  const std::string_view body(reinterpret_cast<const char*>(data + 2), size - 2);

  ContentDecoder decoder(coding, kBound);
  std::string handed;
  size_t calls = 0;
  const auto sink = [&](std::span<const std::uint8_t> piece) {
    check(!piece.empty());
    handed.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    ++calls;
    return true;
  };
  std::optional<platform::Error> error;
  size_t at = 0;
  while (!error) {
    seed = seed * 1103515245u + 12345u;
    const size_t length = std::min<size_t>((seed >> 16) % 301, body.size() - at);
    const bool last = at + length == body.size();
    error = decoder.decode(body.substr(at, length), last && endWithLastPiece, sink);
    at += length;
    if (last) break;
  }
  if (!error && !endWithLastPiece) error = decoder.decode({}, true, sink);

  if (coding == Coding::Identity) {
    check(!error);
    check(handed == body);
    return 0;
  }
  const OneShot expected = oneShot(body, coding == Coding::Gzip ? 15 + 16 : isZlibHeader(body) ? 15 : -15);
  check(handed.size() <= kBound);
  check(std::string_view(expected.out).starts_with(handed));
  switch (expected.outcome) {
    case Outcome::Whole:
      check(!error);
      check(handed == expected.out);
      check(decoder.finished());
      break;
    case Outcome::CutShort:
      check(error && error->code == platform::kURLErrorNetworkConnectionLost);
      check(!decoder.finished());
      break;
    case Outcome::Corrupt:
      check(error && error->code == platform::kURLErrorCannotDecodeContentData);
      break;
    case Outcome::TooLarge:
      // The decoder counts what each 64 KiB piece of output adds: zlib may
      // have stopped on the stream's fault inside the piece that passed.
      check(error && error->code != platform::kURLErrorNetworkConnectionLost);
      if (error->code != platform::kURLErrorDataLengthExceedsMaximum)
        check(error->code == platform::kURLErrorCannotDecodeContentData);
      break;
  }
  // An error stays.
  if (error) {
    const auto again = decoder.decode("more", true, sink);
    check(again && again->code == error->code);
  }
  return 0;
}
