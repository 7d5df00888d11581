// A body's content coding (RFC 9110 8.4.1) undone as its bytes arrive:
// gzip (and its old name x-gzip), deflate and identity. "deflate" is a zlib
// stream by the RFC, yet many servers send the raw DEFLATE stream without
// its wrapper; browsers take both, and so does this: the first two bytes
// tell them apart (a zlib header names method 8 and is a multiple of 31).
//
// Servers are not trusted to end what they start, nor to send what they
// name: a compressed body is whole only when its compressed stream is
// (bytes after its end are no body and are dropped), and what it decodes to
// is bounded. An identity body is handed over as it comes, unbounded here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace platform {

class ContentDecoder {
 public:
  enum class Coding { Identity, Gzip, Deflate };
  // The coding a Content-Encoding value names (without case); nullopt for
  // one this cannot decode.
  static std::optional<Coding> codingNamed(std::string_view name);
  // The error for a coding that codingNamed does not know.
  static Error unknownCoding(std::string_view name);

  // `maximumDecodedBytes` bounds a compressed body's decoded bytes.
  ContentDecoder(Coding coding, size_t maximumDecodedBytes);
  ~ContentDecoder();
  ContentDecoder(ContentDecoder&&) noexcept;
  ContentDecoder& operator=(ContentDecoder&&) noexcept;

  // Each piece decoded; false stops the decoding (its caller has gone).
  using Sink = std::function<bool(std::span<const std::uint8_t>)>;
  // Takes the body's next bytes (`atEnd`: the body has no more) and hands
  // what they decode to to `sink`. An error, from then on, when the
  // compressed stream is corrupt (kURLErrorCannotDecodeContentData), when
  // it decodes past the bound (kURLErrorDataLengthExceedsMaximum, with
  // nothing past the bound handed over) or, at the end, when it was cut
  // short (kURLErrorNetworkConnectionLost); nullopt otherwise, also when
  // the sink stopped.
  std::optional<Error> decode(std::string_view data, bool atEnd, const Sink& sink);

  Coding coding() const { return coding_; }
  // The compressed stream has ended.
  bool finished() const { return finished_; }
  size_t decodedBytes() const { return decodedBytes_; }

 private:
  struct Stream;
  Coding coding_;
  size_t maximumDecodedBytes_;
  std::unique_ptr<Stream> stream_;  // once the coding's first bytes are in
  std::string start_;               // a deflate body's first bytes, until there are two
  std::string out_;                 // what one step decodes to
  bool finished_ = false;
  size_t decodedBytes_ = 0;
  std::optional<Error> failure_;
};

}  // namespace platform
