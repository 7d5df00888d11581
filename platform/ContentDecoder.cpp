#include "platform/ContentDecoder.h"

#include <gio/gio.h>

#include <utility>

#include "platform/ASCII.h"
#include "platform/URLError.h"

namespace platform {

namespace {

// Decoded bytes are handed over in pieces of at most this.
constexpr size_t kDecodeBytes = 64 * 1024;

// RFC 1950 2.2: method 8 (deflate) in CMF's low nibble, and CMF * 256 + FLG
// a multiple of 31.
bool isZlibHeader(unsigned char cmf, unsigned char flg) { return (cmf & 0x0f) == 8 && (cmf * 256 + flg) % 31 == 0; }

Error cutShort() {
  return Error{kURLErrorDomain, kURLErrorNetworkConnectionLost, "the compressed body ended early"};
}

}  // namespace

struct ContentDecoder::Stream {
  explicit Stream(GZlibCompressorFormat format) : converter(G_CONVERTER(g_zlib_decompressor_new(format))) {}
  ~Stream() { g_object_unref(converter); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  GConverter* converter;
};

std::optional<ContentDecoder::Coding> ContentDecoder::codingNamed(std::string_view name) {
  if (ascii::equalsIgnoringCase(name, "gzip") || ascii::equalsIgnoringCase(name, "x-gzip")) return Coding::Gzip;
  if (ascii::equalsIgnoringCase(name, "deflate")) return Coding::Deflate;
  if (ascii::equalsIgnoringCase(name, "identity")) return Coding::Identity;
  return std::nullopt;
}

Error ContentDecoder::unknownCoding(std::string_view name) {
  return Error{kURLErrorDomain, kURLErrorCannotDecodeContentData, "unknown content coding " + std::string(name)};
}

ContentDecoder::ContentDecoder(Coding coding, size_t maximumDecodedBytes)
    : coding_(coding), maximumDecodedBytes_(maximumDecodedBytes) {
  if (coding == Coding::Gzip) stream_ = std::make_unique<Stream>(G_ZLIB_COMPRESSOR_FORMAT_GZIP);
}

ContentDecoder::~ContentDecoder() = default;
ContentDecoder::ContentDecoder(ContentDecoder&&) noexcept = default;
ContentDecoder& ContentDecoder::operator=(ContentDecoder&&) noexcept = default;

std::optional<Error> ContentDecoder::decode(std::string_view data, bool atEnd, const Sink& sink) {
  if (failure_) return failure_;
  if (coding_ == Coding::Identity) {
    if (!data.empty()) sink(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
    return std::nullopt;
  }
  // Whatever follows the end of the compressed stream is not body.
  if (finished_) return std::nullopt;
  if (!stream_) {
    // Deflate: wrapped or raw, as its first two bytes say (a first byte
    // that names no method 8 is enough).
    start_.append(data);
    const bool mayBeZlib = start_.empty() || (static_cast<unsigned char>(start_[0]) & 0x0f) == 8;
    if (start_.size() < 2 && mayBeZlib) {
      if (atEnd) failure_ = cutShort();
      return failure_;
    }
    const bool zlib =
        mayBeZlib && isZlibHeader(static_cast<unsigned char>(start_[0]), static_cast<unsigned char>(start_[1]));
    stream_ = std::make_unique<Stream>(zlib ? G_ZLIB_COMPRESSOR_FORMAT_ZLIB : G_ZLIB_COMPRESSOR_FORMAT_RAW);
    const std::string first = std::exchange(start_, std::string());
    return decode(first, atEnd, sink);
  }
  std::string& out = out_;
  if (out.empty()) out.resize(kDecodeBytes);
  size_t at = 0;
  for (;;) {
    gsize read = 0, written = 0;
    GError* error = nullptr;
    const GConverterResult result =
        g_converter_convert(stream_->converter, data.data() + at, data.size() - at, out.data(), out.size(),
                            atEnd ? G_CONVERTER_INPUT_AT_END : G_CONVERTER_NO_FLAGS, &read, &written, &error);
    if (result == G_CONVERTER_ERROR) {
      const bool partial = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PARTIAL_INPUT);
      const std::string message = error->message;
      g_error_free(error);
      // More input will come: not an error yet.
      if (partial && !atEnd) return std::nullopt;
      failure_ = partial ? cutShort() : Error{kURLErrorDomain, kURLErrorCannotDecodeContentData, message};
      return failure_;
    }
    at += read;
    decodedBytes_ += written;
    if (decodedBytes_ > maximumDecodedBytes_) {
      failure_ = Error{kURLErrorDomain, kURLErrorDataLengthExceedsMaximum, "the decoded body is larger than allowed"};
      return failure_;
    }
    if (written > 0 && !sink(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(out.data()), written)))
      return std::nullopt;
    if (result == G_CONVERTER_FINISHED) {
      finished_ = true;
      return std::nullopt;
    }
    if ((at >= data.size() || read == 0) && written == 0) {
      if (!atEnd) return std::nullopt;
      failure_ = cutShort();
      return failure_;
    }
  }
}

}  // namespace platform
