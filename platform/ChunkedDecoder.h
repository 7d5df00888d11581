// The chunked transfer coding of HTTP/1.1 (RFC 9112 7.1), read strictly:
// a body is whole only once its last chunk and trailer section have
// arrived, so a connection that closes at a chunk boundary is told apart
// from a finished body. Sizes are hexadecimal and bounded; a line is at
// most kMaximumLineBytes; chunk extensions and trailer fields are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class ChunkedDecoder {
 public:
  static constexpr size_t kMaximumLineBytes = 8192;

  enum class Status { NeedMore, Done, Malformed };

  // Decodes `input`, appending the body's bytes to `out`. Bytes after the
  // end of the body are not consumed; `consumed` says how many were.
  Status feed(std::string_view input, std::string& out, size_t* consumed = nullptr);
  Status status() const { return status_; }

 private:
  enum class State { Size, Data, DataEnd, Trailer, Done };
  // One line of `input` into line_; false while it is not complete.
  bool takeLine(std::string_view input, size_t& at);
  Status malformed() { return status_ = Status::Malformed; }

  State state_ = State::Size;
  Status status_ = Status::NeedMore;
  std::string line_;
  std::uint64_t remaining_ = 0;
};

}  // namespace platform
