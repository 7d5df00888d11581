// The GTK backend's page resource monitor.
//
// CPU: the web processes are this process's descendants ("WebKitWebProces"
// in /proc, under the sandbox's launcher when it runs); WebKit does not say
// which process serves a web view, so a page's CPU is that of every web
// process of ours, read from /proc/PID/stat (user and system time, all
// threads). The ad pages share one process and the in-app browser's sites
// have another, which lives only after a click (and a clicked ad is no
// longer held to any bound): a page is charged at least what it used,
// never less. The readings of a process that has ended are kept, so the
// total only grows.
//
// Network: each web view counts the answers its loads receive, from
// WebKit's own report of the resources the page loads
// (resource-load-started): the length an answer declares, at its headers,
// or what arrived once an answer without a length has ended. It sees the
// page's document, its frames, images, scripts, styles, fetches and
// XMLHttpRequests, from the network or from a cache (both are counted).
// It does not see what WebKit leaves out of that report: WebSocket and
// WebRTC traffic, what a worker fetches, a media element's stream. Nor an
// answer without a declared length until it has ended: a page that
// streams one without end is bounded by its CPU alone.
//
// /proc is read at most every kMinimumScanSeconds, on the main thread: the
// lists of this process's threads' children, and the figures of its
// descendants, a few dozen small files.
#pragma once

#include <map>
#include <utility>

#include "platform/PageResourceMonitor.h"

namespace platform::gtk {

class GtkPageResourceMonitor final : public PageResourceMonitor {
 public:
  static constexpr double kMinimumScanSeconds = 0.5;

  PageResourceUsage usage(const WebView& view) override;
  void setNetworkListener(const WebView& view, std::function<void()> grew) override;
  std::uint64_t webProcessResidentBytes() override;

 private:
  void scan();

  // Per web process seen (pid and start time), its last CPU reading.
  std::map<std::pair<int, std::uint64_t>, double> cpuSeconds_;
  double endedCPUSeconds_ = 0;  // of the processes that have gone
  double cpuSecondsTotal_ = 0;
  std::uint64_t residentBytes_ = 0;
  double lastScan_ = -1;
};

}  // namespace platform::gtk
