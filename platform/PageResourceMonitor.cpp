#include "platform/PageResourceMonitor.h"

#include "platform/ProcessWide.h"

namespace platform {

namespace {

struct Installed {
  std::unique_ptr<PageResourceMonitor> monitor;
};

}  // namespace

PageResourceMonitor* PageResourceMonitor::installed() { return processWide<Installed>().monitor.get(); }

void PageResourceMonitor::install(std::unique_ptr<PageResourceMonitor> monitor) {
  processWide<Installed>().monitor = std::move(monitor);
}

}  // namespace platform
