// The chunked body reader on any bytes: it never reads past its input, and
// its verdict and body are the same however the bytes are split on the way
// (the first byte picks the split points).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ChunkedDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned step = data[0] % 17 + 1;
  const std::string_view wire(reinterpret_cast<const char*>(data + 1), size - 1);

  platform::ChunkedDecoder whole;
  std::string wholeBody;
  size_t consumed = 0;
  const auto verdict = whole.feed(wire, wholeBody, &consumed);
  if (consumed > wire.size() || wholeBody.size() > wire.size()) __builtin_trap();

  platform::ChunkedDecoder pieces;
  std::string piecesBody;
  auto status = platform::ChunkedDecoder::Status::NeedMore;
  for (size_t at = 0; at < wire.size(); at += step) status = pieces.feed(wire.substr(at, step), piecesBody);
  if (status != verdict || piecesBody != wholeBody) __builtin_trap();
  return 0;
}
