// Bodies for tests of content codings: text compressed as a server would
// send it, and text that does not compress.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <string>

// `text` in one gzip, zlib or raw DEFLATE stream, whole.
inline std::string compressed(const std::string& text, GZlibCompressorFormat format) {
  GZlibCompressor* compressor = g_zlib_compressor_new(format, -1);
  std::string out(text.size() + 1024, '\0');
  gsize read = 0, written = 0;
  g_converter_convert(G_CONVERTER(compressor), text.data(), text.size(), out.data(), out.size(),
                      G_CONVERTER_INPUT_AT_END, &read, &written, nullptr);
  g_object_unref(compressor);
  out.resize(written);
  return out;
}

// Incompressible text, so a cut stream still has whole blocks of data.
inline std::string noise(size_t size) {
  std::string text(size, 'a');
  std::uint32_t x = 12345;
  for (char& c : text) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>('a' + (x >> 16) % 26);
  }
  return text;
}
