#include "platform/ProcessStat.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <map>

namespace platform {

namespace {

template <class Number>
bool number(std::string_view text, Number& out) {
  const char* end = text.data() + text.size();
  auto [at, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && at == end;
}

std::optional<std::string> readSmallFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buffer[1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (text.size() > 8192) break;  // a stat line is a few hundred bytes
  }
  ::close(fd);
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

std::optional<ProcessStat> ProcessStat::parse(std::string_view line) {
  const size_t open = line.find(" (");
  const size_t close = line.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open + 2) return std::nullopt;
  ProcessStat stat;
  if (!number(line.substr(0, open), stat.pid)) return std::nullopt;
  stat.command = std::string(line.substr(open + 2, close - open - 2));
  // Fields from the third on (the state), numbered as proc(5) numbers them.
  std::string_view rest = line.substr(close + 1);
  int field = 2;
  bool ok = true;
  while (!rest.empty() && field < 24) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const size_t end = std::min(rest.find_first_of(" \n"), rest.size());
    const std::string_view text = rest.substr(0, end);
    rest.remove_prefix(end);
    if (text.empty()) break;
    ++field;
    switch (field) {
      case 4: ok = ok && number(text, stat.parentPid); break;
      case 14: ok = ok && number(text, stat.userTicks); break;
      case 15: ok = ok && number(text, stat.systemTicks); break;
      case 22: ok = ok && number(text, stat.startTicks); break;
      case 24: ok = ok && number(text, stat.residentPages); break;
      default: break;
    }
  }
  if (!ok || field < 24) return std::nullopt;
  return stat;
}

std::optional<ProcessStat> ProcessStat::read(int pid) {
  const auto text = readSmallFile("/proc/" + std::to_string(pid) + "/stat");
  return text ? parse(*text) : std::nullopt;
}

std::vector<ProcessStat> ProcessStat::readAll() {
  std::vector<ProcessStat> all;
  DIR* proc = ::opendir("/proc");
  if (!proc) return all;
  while (const dirent* entry = ::readdir(proc)) {
    int pid = 0;
    if (!number(std::string_view(entry->d_name), pid)) continue;
    if (auto stat = read(pid)) all.push_back(std::move(*stat));
  }
  ::closedir(proc);
  return all;
}

std::vector<int> ProcessStat::descendants(const std::vector<ProcessStat>& processes, int ancestor) {
  std::multimap<int, int> children;
  for (const auto& process : processes) children.emplace(process.parentPid, process.pid);
  std::vector<int> found;
  std::vector<int> parents{ancestor};
  while (!parents.empty()) {
    const int parent = parents.back();
    parents.pop_back();
    auto [from, to] = children.equal_range(parent);
    for (auto it = from; it != to; ++it) {
      // A cycle cannot happen in a true process tree; a crafted table must not loop.
      if (it->second == ancestor || std::find(found.begin(), found.end(), it->second) != found.end()) continue;
      found.push_back(it->second);
      parents.push_back(it->second);
    }
  }
  return found;
}

namespace {

// The children of `pid` as its threads' "children" files list them;
// nullopt when the kernel keeps no such list.
std::optional<std::vector<int>> childrenOf(int pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* folder = ::opendir(tasks.c_str());
  if (!folder) return std::nullopt;
  std::vector<int> children;
  bool listed = false;
  while (const dirent* entry = ::readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    const auto text = readSmallFile(tasks + "/" + entry->d_name + "/children");
    if (!text) {
      // An empty list reads as nothing; a missing file is no list at all.
      if (::access((tasks + "/" + entry->d_name + "/children").c_str(), R_OK) == 0) listed = true;
      continue;
    }
    listed = true;
    std::string_view rest = *text;
    while (!rest.empty()) {
      const size_t end = std::min(rest.find(' '), rest.size());
      int child = 0;
      if (number(rest.substr(0, end), child)) children.push_back(child);
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
  }
  ::closedir(folder);
  if (!listed) return std::nullopt;
  return children;
}

}  // namespace

std::vector<ProcessStat> ProcessStat::readDescendants(int ancestor) {
  std::vector<ProcessStat> found;
  std::vector<int> parents{ancestor};
  while (!parents.empty()) {
    const int parent = parents.back();
    parents.pop_back();
    const auto children = childrenOf(parent);
    if (!children) {
      const std::vector<ProcessStat> all = readAll();
      const std::vector<int> pids = descendants(all, ancestor);
      found.clear();
      for (const auto& process : all)
        if (std::find(pids.begin(), pids.end(), process.pid) != pids.end()) found.push_back(process);
      return found;
    }
    for (const int child : *children) {
      // A true process tree has no cycle; a bounded walk all the same.
      if (found.size() > 4096) return found;
      if (auto stat = read(child)) {
        found.push_back(std::move(*stat));
        parents.push_back(child);
      }
    }
  }
  return found;
}

double ProcessStat::cpuSeconds() const {
  static const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  return static_cast<double>(userTicks + systemTicks) / ticks;
}

std::uint64_t ProcessStat::residentBytes() const {
  static const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return residentPages * page;
}

}  // namespace platform
