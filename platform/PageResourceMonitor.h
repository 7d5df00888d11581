// What the pages in web views cost the machine, measured outside the pages
// (a page can neither hide nor under-report what it uses): the CPU time of
// the web processes and the bytes the views' loads receive. The toolkit
// installs the monitor of its backend; with none installed nothing is
// measured. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class WebView;

// Totals so far. Each only grows; only differences between two readings
// mean anything.
struct PageResourceUsage {
  // CPU seconds (user and system, every thread) of the web process that
  // serves the view's page. Every page that process serves is in it.
  double cpuSeconds = 0;
  // Bytes of the answers the view's loads have received.
  std::uint64_t networkBytes = 0;
};

class PageResourceMonitor {
 public:
  virtual ~PageResourceMonitor() = default;

  // The installed monitor; null when there is none.
  static PageResourceMonitor* installed();
  // Replaces the installed monitor (null: none).
  static void install(std::unique_ptr<PageResourceMonitor> monitor);

  virtual PageResourceUsage usage(const WebView& view) = 0;
  // Calls `grew` each time the bytes `view`'s loads received grow, so that
  // a bound on them is checked at once rather than at the next reading (a
  // page on a fast network receives a hundred megabytes a second). It is
  // called inside the toolkit's report: it must only schedule its work.
  // One per view; an empty one stops it.
  virtual void setNetworkListener(const WebView& view, std::function<void()> grew) = 0;
  // The resident bytes of the web processes, all of them together.
  virtual std::uint64_t webProcessResidentBytes() = 0;
};

}  // namespace platform
