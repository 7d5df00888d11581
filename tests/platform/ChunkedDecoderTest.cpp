#include "platform/ChunkedDecoder.h"

#include <gtest/gtest.h>

#include <string>

using platform::ChunkedDecoder;
using Status = ChunkedDecoder::Status;

namespace {

struct Decoded {
  Status status;
  std::string body;
};

Decoded decodeWhole(const std::string& wire) {
  ChunkedDecoder decoder;
  Decoded result{Status::NeedMore, {}};
  result.status = decoder.feed(wire, result.body);
  return result;
}

Decoded decodeByteByByte(const std::string& wire) {
  ChunkedDecoder decoder;
  Decoded result{Status::NeedMore, {}};
  for (char c : wire) result.status = decoder.feed(std::string_view(&c, 1), result.body);
  return result;
}

TEST(ChunkedDecoderTest, BodiesAreWholeOnlyAfterTheLastChunkAndTrailers) {
  const struct {
    const char* name;
    std::string wire;
    Status status;
    std::string body;
  } cases[] = {
      {"two chunks", "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", Status::Done, "hello world"},
      {"upper-case hex and an extension", "A;name=value\r\n0123456789\r\n0\r\n\r\n", Status::Done, "0123456789"},
      {"trailer fields", "3\r\nabc\r\n0\r\nExpires: never\r\nX-Other: 1\r\n\r\n", Status::Done, "abc"},
      {"bare line feeds", "3\nabc\n0\n\n", Status::Done, "abc"},
      {"empty body", "0\r\n\r\n", Status::Done, ""},
      {"closed at a chunk boundary", "5\r\nhello\r\n", Status::NeedMore, "hello"},
      {"closed inside a chunk", "5\r\nhel", Status::NeedMore, "hel"},
      {"last chunk without the empty line", "5\r\nhello\r\n0\r\n", Status::NeedMore, "hello"},
      {"no size", "\r\nhello\r\n0\r\n\r\n", Status::Malformed, ""},
      {"size not hexadecimal", "5x\r\nhello\r\n", Status::Malformed, ""},
      {"data longer than its size", "3\r\nabcd\r\n0\r\n\r\n", Status::Malformed, "abc"},
      {"size beyond any body", "1000000000000000\r\n", Status::Malformed, ""},
      {"size line without end", "5" + std::string(ChunkedDecoder::kMaximumLineBytes + 1, ' '), Status::Malformed, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded whole = decodeWhole(c.wire);
    EXPECT_EQ(whole.status, c.status);
    EXPECT_EQ(whole.body, c.body);
    const Decoded split = decodeByteByByte(c.wire);
    EXPECT_EQ(split.status, c.status) << "the same, however the bytes arrive";
    EXPECT_EQ(split.body, c.body);
  }
}

TEST(ChunkedDecoderTest, BytesAfterTheBodyAreLeftAlone) {
  ChunkedDecoder decoder;
  std::string body;
  size_t consumed = 0;
  const std::string wire = "2\r\nok\r\n0\r\n\r\nHTTP/1.1 200 OK\r\n";
  EXPECT_EQ(decoder.feed(wire, body, &consumed), Status::Done);
  EXPECT_EQ(body, "ok");
  EXPECT_EQ(wire.substr(consumed), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(decoder.feed("more", body), Status::Done);
  EXPECT_EQ(body, "ok");
}

}  // namespace
