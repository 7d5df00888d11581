#include "platform/headless/HeadlessToolkit.h"

#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/View.h"
#include "platform/Window.h"

namespace platform {

HeadlessToolkit& HeadlessToolkit::install() {
  auto toolkit = std::make_unique<HeadlessToolkit>();
  auto& ref = *toolkit;
  Toolkit::install(std::move(toolkit));
  return ref;
}

std::shared_ptr<View> HeadlessToolkit::loadNibView(const std::string& name, std::weak_ptr<ViewController>,
                                                   const Rect& frame) {
  if (!Bundle::main().pathForResource(name, "ui")) return nullptr;
  loadedNibs_.push_back(name);
  return View::create(frame);
}

std::unique_ptr<WindowPeer> HeadlessToolkit::createMainWindowPeer(const std::string&) { return nullptr; }

void HeadlessToolkit::playSound(const std::filesystem::path& path) { playedSounds_.push_back(path); }

void HeadlessToolkit::statusBarHiddenChanged(bool) {}

int HeadlessToolkit::runApplication(int, char**) { return Application::shared().launch() ? 0 : 1; }

}  // namespace platform
