// Whatever the reader accepts, the writer writes, in every mode, and the
// reader reads back as an equal value.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ads/codec/GAD_TamskJSON.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  GAD_TamskJSON reader;
  auto value = reader.fragmentWithString(text);
  if (!value) return 0;
  for (int mode = 0; mode < 4; ++mode) {
    GAD_TamskJSON writer;
    writer.setHumanReadable(mode & 1);
    writer.setSortKeys(mode & 2);
    auto written = writer.stringWithFragment(*value);
    if (!written) __builtin_trap();
    GAD_TamskJSON again;
    again.setMaxDepth(0);
    auto back = again.fragmentWithString(*written);
    if (!back || !(*back == *value)) __builtin_trap();
  }
  return 0;
}
