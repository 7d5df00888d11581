// A page resource monitor whose figures the test sets: the web process's
// CPU seconds, and each web view's network bytes. A test installs it and
// removes it (PageResourceMonitor::install(nullptr)) before it ends.
#pragma once

#include <cstdint>
#include <map>

#include "platform/PageResourceMonitor.h"
#include "platform/WebView.h"

class FakePageResourceMonitor final : public platform::PageResourceMonitor {
 public:
  // Installs a new fake and returns it; the installed monitor owns it.
  static FakePageResourceMonitor& install() {
    auto fake = std::make_unique<FakePageResourceMonitor>();
    auto& ref = *fake;
    platform::PageResourceMonitor::install(std::move(fake));
    return ref;
  }

  platform::PageResourceUsage usage(const platform::WebView& view) override {
    ++readings;
    auto found = networkBytes.find(&view);
    return {cpuSeconds, found == networkBytes.end() ? 0 : found->second};
  }
  void setNetworkListener(const platform::WebView& view, std::function<void()> grew) override {
    listeners[&view] = std::move(grew);
  }
  std::uint64_t webProcessResidentBytes() override { return residentBytes; }
  // The view's loads received `bytes` more, as the toolkit reports it.
  void receive(const platform::WebView& view, std::uint64_t bytes) {
    networkBytes[&view] += bytes;
    if (auto found = listeners.find(&view); found != listeners.end() && found->second) found->second();
  }

  double cpuSeconds = 0;
  std::map<const platform::WebView*, std::uint64_t> networkBytes;
  std::map<const platform::WebView*, std::function<void()>> listeners;
  std::uint64_t residentBytes = 0;
  int readings = 0;
};
