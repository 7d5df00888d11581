// What /proc says of this process, for the window benchmarks.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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
  // Seconds since the process started; -1 when unreadable.
  static double ageSeconds(pid_t pid) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(statFile, stat);
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    uptimeFile >> uptime;
    return uptime - std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
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
