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

double ProcessStat::cpuSeconds() const {
  static const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  return static_cast<double>(userTicks + systemTicks) / ticks;
}

std::uint64_t ProcessStat::residentBytes() const {
  static const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  return residentPages * page;
}

}  // namespace platform
