// One process's figures as the kernel keeps them in /proc/PID/stat: what
// the process really used, whatever its pages say of themselves. Linux
// only; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProcessStat {
 public:
  int pid = 0;
  int parentPid = 0;
  // The kernel's short name of the command (at most 15 bytes: the web
  // process reads "WebKitWebProces").
  std::string command;
  // CPU time in clock ticks, on all of the process's threads.
  std::uint64_t userTicks = 0;
  std::uint64_t systemTicks = 0;
  // When it started, in clock ticks since boot: with the pid, names one
  // process even after the pid is reused.
  std::uint64_t startTicks = 0;
  // Resident pages.
  std::uint64_t residentPages = 0;

  // The line as the kernel writes it; nullopt for anything else. The
  // command may hold blanks and parentheses: it ends at the last ')'.
  static std::optional<ProcessStat> parse(std::string_view line);
  // /proc/<pid>/stat; nullopt once the process has gone.
  static std::optional<ProcessStat> read(int pid);
  // Every process /proc shows now (those that go meanwhile are left out).
  static std::vector<ProcessStat> readAll();
  // The pids of `processes` that descend from `ancestor` (children,
  // grandchildren...), itself left out.
  static std::vector<int> descendants(const std::vector<ProcessStat>& processes, int ancestor);
  // The figures of `ancestor`'s descendants now. Found from the kernel's
  // list of each thread's children (a few files), or, on a kernel without
  // one, from every process in /proc.
  static std::vector<ProcessStat> readDescendants(int ancestor);

  double cpuSeconds() const;
  std::uint64_t residentBytes() const;
};

}  // namespace platform
