#include "platform/gtk/GtkPageResourceMonitor.h"

#include <unistd.h>

#include <algorithm>

#include "platform/ProcessStat.h"
#include "platform/RunLoop.h"
#include "platform/WebView.h"
#include "platform/gtk/GtkWebViewPeer.h"

namespace platform::gtk {

PageResourceUsage GtkPageResourceMonitor::usage(const WebView& view) {
  scan();
  PageResourceUsage used;
  used.cpuSeconds = cpuSecondsTotal_;
  if (auto* peer = dynamic_cast<GtkWebViewPeer*>(view.peer())) used.networkBytes = peer->networkBytesReceived();
  return used;
}

void GtkPageResourceMonitor::setNetworkListener(const WebView& view, std::function<void()> grew) {
  if (auto* peer = dynamic_cast<GtkWebViewPeer*>(view.peer())) peer->setNetworkListener(std::move(grew));
}

std::uint64_t GtkPageResourceMonitor::webProcessResidentBytes() {
  scan();
  return residentBytes_;
}

void GtkPageResourceMonitor::scan() {
  const double now = RunLoop::main().now();
  if (lastScan_ >= 0 && now - lastScan_ < kMinimumScanSeconds) return;
  lastScan_ = now;
  std::map<std::pair<int, std::uint64_t>, double> seen;
  residentBytes_ = 0;
  for (const auto& process : ProcessStat::readDescendants(static_cast<int>(::getpid()))) {
    if (!process.command.starts_with("WebKitWebProces")) continue;
    seen[{process.pid, process.startTicks}] = process.cpuSeconds();
    residentBytes_ += process.residentBytes();
  }
  // A process gone since the last scan keeps its last reading.
  for (const auto& [key, seconds] : cpuSeconds_)
    if (!seen.contains(key)) endedCPUSeconds_ += seconds;
  cpuSeconds_ = std::move(seen);
  double total = endedCPUSeconds_;
  for (const auto& [key, seconds] : cpuSeconds_) total += seconds;
  cpuSecondsTotal_ = std::max(cpuSecondsTotal_, total);
}

}  // namespace platform::gtk
