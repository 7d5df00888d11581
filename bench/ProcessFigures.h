// What /proc says of this process, for the window benchmarks.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class ProcessFigures {
 public:
  // VmRSS in kB; -1 when unreadable.
  static long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return -1;
  }
  // WebKit web processes whose parent is this process.
  static int webProcesses() { return static_cast<int>(webProcessIds().size()); }
  static std::vector<pid_t> webProcessIds() {
    std::vector<pid_t> ids;
    const std::string parent = "PPid:\t" + std::to_string(getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::ifstream comm(entry.path() / "comm");
      std::string name;
      if (!std::getline(comm, name) || !name.starts_with("WebKitWebProces")) continue;
      std::ifstream status(entry.path() / "status");
      std::string line;
      while (std::getline(status, line))
        if (line == parent) ids.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    }
    return ids;
  }
};
