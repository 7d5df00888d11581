#include "platform/Device.h"

#include <sys/utsname.h>

#include <fstream>
#include "platform/ASCII.h"
#include "platform/ProcessWide.h"

namespace platform {

namespace {

std::shared_ptr<Device>& currentSlot() {
  return processWide<std::shared_ptr<Device>>();
}

std::string unquote(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

Device& Device::current() {
  auto& slot = currentSlot();
  if (!slot) slot = std::make_shared<Device>();
  return *slot;
}

void Device::setCurrentForTesting(std::shared_ptr<Device> device) { currentSlot() = std::move(device); }

std::string Device::systemVersion() const {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("VERSION_ID=", 0) == 0) {
        std::string value = unquote(line.substr(11));
        if (!value.empty()) return value;
      }
    }
  }
  return kernelVersion();
}

std::string Device::kernelVersion() const {
  utsname names{};
  if (uname(&names) != 0) return {};
  std::string release = names.release;
  size_t end = 0;
  while (end < release.size() && (ascii::isDigit(release[end]) || release[end] == '.'))
    ++end;
  return release.substr(0, end);
}

std::string Device::model() const { return "Linux"; }

std::string Device::machineName() const {
  utsname names{};
  if (uname(&names) != 0) return {};
  return names.machine;
}

std::optional<InterfaceIdiom> Device::interfaceIdiom() const { return InterfaceIdiom::Phone; }

std::optional<std::string> Device::audioRouteName() const { return "Speaker"; }

}  // namespace platform
