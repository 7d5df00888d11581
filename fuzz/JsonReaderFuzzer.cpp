// Any input: the reader answers a value or an error, never crashes, never
// reads past its input, and an error always has a code of the table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ads/codec/GAD_TamskJSON.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (unsigned maxDepth : {0u, 1u, 512u}) {
    GAD_TamskJSON json;
    json.setMaxDepth(maxDepth);
    auto result = json.fragmentWithString(text);
    if (!result && (result.error().code < 1 || result.error().code > 12)) __builtin_trap();
  }
  return 0;
}
