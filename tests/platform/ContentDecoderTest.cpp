#include "platform/ContentDecoder.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/URLConnection.h"
#include "tests/support/CompressedText.h"

using platform::ContentDecoder;
using Coding = ContentDecoder::Coding;

namespace {

struct Decoded {
  std::string body;
  std::optional<platform::Error> error;
  size_t pieces = 0;
};

// `body` handed over `step` bytes at a time, then its end.
Decoded decodeInSteps(ContentDecoder& decoder, const std::string& body, size_t step) {
  Decoded out;
  const auto sink = [&](std::span<const std::uint8_t> piece) {
    out.body.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    ++out.pieces;
    return true;
  };
  for (size_t at = 0; at < body.size() && !out.error; at += step)
    out.error = decoder.decode(std::string_view(body).substr(at, step), false, sink);
  if (!out.error) out.error = decoder.decode({}, true, sink);
  return out;
}

Decoded decodeInSteps(Coding coding, const std::string& body, size_t step, size_t maximum = 1 << 20) {
  ContentDecoder decoder(coding, maximum);
  return decodeInSteps(decoder, body, step);
}

TEST(ContentDecoderTest, NamesItKnowsWithoutCase) {
  EXPECT_EQ(ContentDecoder::codingNamed("gzip"), Coding::Gzip);
  EXPECT_EQ(ContentDecoder::codingNamed("X-GZip"), Coding::Gzip);
  EXPECT_EQ(ContentDecoder::codingNamed("Deflate"), Coding::Deflate);
  EXPECT_EQ(ContentDecoder::codingNamed("identity"), Coding::Identity);
  for (const char* unknown : {"br", "zstd", "compress", "gzip, deflate", "", "gzip2"})
    EXPECT_FALSE(ContentDecoder::codingNamed(unknown)) << unknown;
  EXPECT_EQ(ContentDecoder::unknownCoding("br").code, platform::kURLErrorCannotDecodeContentData);
}

TEST(ContentDecoderTest, EachCodingDecodesWhateverPiecesItComesIn) {
  const std::string text = noise(70000) + std::string(70000, 'z');
  const struct {
    const char* name;
    Coding coding;
    std::string body;
  } cases[] = {
      {"gzip", Coding::Gzip, compressed(text, G_ZLIB_COMPRESSOR_FORMAT_GZIP)},
      {"zlib deflate", Coding::Deflate, compressed(text, G_ZLIB_COMPRESSOR_FORMAT_ZLIB)},
      {"raw deflate", Coding::Deflate, compressed(text, G_ZLIB_COMPRESSOR_FORMAT_RAW)},
      {"identity", Coding::Identity, text},
  };
  for (const auto& c : cases) {
    for (const size_t step : {size_t{1}, size_t{2}, size_t{3}, size_t{1000}, c.body.size()}) {
      SCOPED_TRACE(std::string(c.name) + " in steps of " + std::to_string(step));
      const Decoded decoded = decodeInSteps(c.coding, c.body, step);
      EXPECT_FALSE(decoded.error) << decoded.error->message;
      EXPECT_EQ(decoded.body.size(), text.size());
      EXPECT_TRUE(decoded.body == text);
    }
  }
}

// The zlib header is two bytes: one byte alone does not decide.
TEST(ContentDecoderTest, ADeflateStreamIsToldByItsFirstTwoBytes) {
  const std::string text = "hello, hello, hello";
  for (const auto format : {G_ZLIB_COMPRESSOR_FORMAT_ZLIB, G_ZLIB_COMPRESSOR_FORMAT_RAW}) {
    const std::string body = compressed(text, format);
    ContentDecoder decoder(Coding::Deflate, 1024);
    std::string out;
    const auto sink = [&](std::span<const std::uint8_t> piece) {
      out.append(reinterpret_cast<const char*>(piece.data()), piece.size());
      return true;
    };
    EXPECT_FALSE(decoder.decode(body.substr(0, 1), false, sink));
    EXPECT_FALSE(decoder.decode({}, false, sink));
    EXPECT_FALSE(decoder.decode(body.substr(1), false, sink));
    EXPECT_FALSE(decoder.decode({}, true, sink));
    EXPECT_EQ(out, text);
    EXPECT_TRUE(decoder.finished());
  }
}

TEST(ContentDecoderTest, BytesAfterTheCompressedStreamAreNoBody) {
  for (const auto format : {G_ZLIB_COMPRESSOR_FORMAT_GZIP, G_ZLIB_COMPRESSOR_FORMAT_ZLIB, G_ZLIB_COMPRESSOR_FORMAT_RAW}) {
    const std::string body = compressed("the body", format) + "garbage after the end";
    const Decoded decoded =
        decodeInSteps(format == G_ZLIB_COMPRESSOR_FORMAT_GZIP ? Coding::Gzip : Coding::Deflate, body, 5);
    EXPECT_FALSE(decoded.error);
    EXPECT_EQ(decoded.body, "the body");
  }
}

TEST(ContentDecoderTest, AStreamCutShortIsAConnectionLost) {
  const std::string text = noise(20000);
  for (const auto format : {G_ZLIB_COMPRESSOR_FORMAT_GZIP, G_ZLIB_COMPRESSOR_FORMAT_ZLIB, G_ZLIB_COMPRESSOR_FORMAT_RAW}) {
    const std::string body = compressed(text, format);
    const Coding coding = format == G_ZLIB_COMPRESSOR_FORMAT_GZIP ? Coding::Gzip : Coding::Deflate;
    for (const size_t length : {size_t{0}, size_t{1}, size_t{2}, body.size() / 2, body.size() - 1}) {
      SCOPED_TRACE(std::to_string(format) + " cut at " + std::to_string(length));
      const Decoded decoded = decodeInSteps(coding, body.substr(0, length), 700);
      ASSERT_TRUE(decoded.error);
      EXPECT_EQ(decoded.error->code, platform::kURLErrorNetworkConnectionLost) << decoded.error->message;
      EXPECT_TRUE(text.starts_with(decoded.body));
    }
  }
}

TEST(ContentDecoderTest, CorruptDataCannotBeDecoded) {
  std::string body = compressed(noise(20000), G_ZLIB_COMPRESSOR_FORMAT_GZIP);
  body[0] = 'x';  // no gzip magic
  const Decoded notGzip = decodeInSteps(Coding::Gzip, body, 100);
  ASSERT_TRUE(notGzip.error);
  EXPECT_EQ(notGzip.error->code, platform::kURLErrorCannotDecodeContentData);
  // A zlib header whose check fails is no header: read as raw, 0x78 0x00
  // is no deflate block either.
  const Decoded notDeflate = decodeInSteps(Coding::Deflate, std::string("\x78\x00\xff\xff\xff", 5), 1);
  ASSERT_TRUE(notDeflate.error);
  EXPECT_EQ(notDeflate.error->code, platform::kURLErrorCannotDecodeContentData);
}

// Past the bound nothing more is handed over, and the error stays.
TEST(ContentDecoderTest, DecodingPastTheBoundFails) {
  const std::string body = compressed(std::string(300000, 'a'), G_ZLIB_COMPRESSOR_FORMAT_RAW);
  ContentDecoder decoder(Coding::Deflate, 100000);
  const Decoded decoded = decodeInSteps(decoder, body, 64);
  ASSERT_TRUE(decoded.error);
  EXPECT_EQ(decoded.error->code, platform::kURLErrorDataLengthExceedsMaximum);
  EXPECT_LE(decoded.body.size(), 100000u);
  const auto again = decoder.decode({}, true, [](std::span<const std::uint8_t>) { return true; });
  ASSERT_TRUE(again);
  EXPECT_EQ(again->code, platform::kURLErrorDataLengthExceedsMaximum);
  // The transport's own bound.
  EXPECT_EQ(decodeInSteps(Coding::Gzip, compressed(std::string(300000, 'a'), G_ZLIB_COMPRESSOR_FORMAT_GZIP), 64,
                          platform::URLConnection::kMaximumDecodedBytes)
                .body.size(),
            300000u);
}

// An identity body is the caller's to bound.
TEST(ContentDecoderTest, AnIdentityBodyIsHandedOverAsItComes) {
  const Decoded decoded = decodeInSteps(Coding::Identity, std::string(5000, 'x'), 1000, 10);
  EXPECT_FALSE(decoded.error);
  EXPECT_EQ(decoded.body.size(), 5000u);
  EXPECT_EQ(decoded.pieces, 5u);
}

TEST(ContentDecoderTest, ASinkThatStopsIsCalledNoMore) {
  const std::string body = compressed(noise(300000), G_ZLIB_COMPRESSOR_FORMAT_GZIP);
  ContentDecoder decoder(Coding::Gzip, 1 << 20);
  size_t calls = 0;
  EXPECT_FALSE(decoder.decode(body, true, [&](std::span<const std::uint8_t>) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1u);
}

// A first byte whose low four bits are not 8 begins no zlib header: the
// body is raw DEFLATE from that byte on, and one that is no stream fails as
// such, not as cut short.
TEST(ContentDecoderTest, AOneByteDeflateBodyThatIsNoStreamCannotBeDecoded) {
  const Decoded reserved = decodeInSteps(Coding::Deflate, "O", 1);  // a block of the reserved type
  ASSERT_TRUE(reserved.error);
  EXPECT_EQ(reserved.error->code, platform::kURLErrorCannotDecodeContentData) << reserved.error->message;
  // 0x78 may begin either: the second byte decides, and there is none.
  const Decoded undecided = decodeInSteps(Coding::Deflate, "\x78", 1);
  ASSERT_TRUE(undecided.error);
  EXPECT_EQ(undecided.error->code, platform::kURLErrorNetworkConnectionLost);
}

}  // namespace
