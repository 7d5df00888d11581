#include "platform/Screen.h"

#include "platform/Application.h"
#include "platform/ProcessWide.h"

namespace platform {

namespace {
std::shared_ptr<Screen>& mainSlot() {
  return processWide<std::shared_ptr<Screen>>();
}
}  // namespace

Screen& Screen::main() {
  auto& slot = mainSlot();
  if (!slot) slot = std::make_shared<Screen>();
  return *slot;
}

void Screen::setMainForTesting(std::shared_ptr<Screen> screen) { mainSlot() = std::move(screen); }

Rect Screen::bounds() const { return Rect(0, 0, kWidth, kHeight); }

double Screen::scale() const { return scale_; }

Rect Screen::statusBarFrame() const {
  if (Application::shared().isStatusBarHidden()) return Rect();
  return Rect(0, 0, kWidth, kStatusBarHeight);
}

Rect Screen::applicationFrame() const {
  const double bar = statusBarFrame().height();
  return Rect(0, bar, kWidth, kHeight - bar);
}

// The window does not rotate: the status bar is always upright.
InterfaceOrientation Screen::statusBarOrientation() const { return InterfaceOrientation::Portrait; }

}  // namespace platform
