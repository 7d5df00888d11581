#include "platform/Toolkit.h"

#include <cstdio>
#include <cstdlib>
#include "platform/ProcessWide.h"

namespace platform {

namespace {
std::unique_ptr<Toolkit>& slot() {
  return processWide<std::unique_ptr<Toolkit>>();
}
}  // namespace

Toolkit& Toolkit::current() {
  if (!slot()) {
    std::fprintf(stderr, "platform: no toolkit installed\n");
    std::abort();
  }
  return *slot();
}

void Toolkit::install(std::unique_ptr<Toolkit> toolkit) { slot() = std::move(toolkit); }

bool Toolkit::isInstalled() { return slot() != nullptr; }

}  // namespace platform
