// The test process's resident memory, for window tests that check what a
// page can make the application hold.
#pragma once

#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

#ifdef __SANITIZE_ADDRESS__
extern "C" void __sanitizer_purge_allocator();
#endif

class ResidentMemory {
 public:
  // Bytes resident now (/proc/self/statm's second field, in pages); 0 when
  // it cannot be read.
  static std::int64_t bytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0, resident = 0;
    if (!(statm >> size >> resident)) return 0;
    return resident * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
  }
  // Gives freed memory back to the system (the sanitizer's quarantine
  // included), so that what is taken next shows as growth rather than
  // reusing what an earlier test freed; then bytes().
  static std::int64_t settledBytes() {
#ifdef __SANITIZE_ADDRESS__
    __sanitizer_purge_allocator();
#endif
    malloc_trim(0);
    return bytes();
  }
};
