// Test folders that worker threads may still be writing in (a fetched
// body, a sweep of stale temporaries) are removed once those are done.
#pragma once

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/RunLoop.h"

inline void removeFolderAfterWorkers(const std::filesystem::path& folder) {
  for (int waited = 0; waited < 1000 && platform::RunLoop::workInFlight() > 0; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::filesystem::remove_all(folder);
}
