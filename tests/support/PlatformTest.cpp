#include "tests/support/PlatformTest.h"

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/PageResourceMonitor.h"
#include "platform/RunLoop.h"
#include "platform/Screen.h"
#include "platform/UserDefaults.h"

void PlatformTest::SetUp() {
  platform::RunLoop::resetMainForTesting();
  platform::NotificationCenter::resetDefaultForTesting();
  platform::Application::resetForTesting();
  platform::Device::setCurrentForTesting(nullptr);
  platform::Screen::setMainForTesting(nullptr);
  platform::Bundle::setMainForTesting(nullptr);
  // Preferences live in memory unless a test gives them a file.
  auto defaults = std::make_shared<platform::UserDefaults>(std::nullopt);
  defaults->registerDefaults(platform::Dictionary{{"AppleLanguages", platform::Value::Array{"en-GB", "fr"}}});
  platform::UserDefaults::setStandardForTesting(defaults);
  // What the client keeps in the user's data folder (the advertising
  // identifier) goes to a folder of the test's, never the user's.
  dataFolder_ = std::filesystem::temp_directory_path() / ("blorvik-test-data-" + std::to_string(getpid()));
  std::filesystem::remove_all(dataFolder_);
  platform::FileManager::setDataDirectoryForTesting(dataFolder_);
  toolkit_ = &platform::HeadlessToolkit::install();
  logLines_.clear();
  platform::setLogSinkForTesting([this](const std::string& line) { logLines_.push_back(line); });
}

void PlatformTest::TearDown() {
  // Whatever a test left kept alive or pending goes now, while the
  // platform objects it may refer to still exist.
  platform::RunLoop::main().drain();
  platform::setLogSinkForTesting({});
  // A fake monitor a test installed measures nothing for the next one.
  platform::PageResourceMonitor::install(nullptr);
  platform::FileManager::setDataDirectoryForTesting(std::nullopt);
  std::error_code ignored;
  std::filesystem::remove_all(dataFolder_, ignored);
}

bool PlatformTest::runUntil(const std::function<bool()>& condition, double timeoutSeconds) {
  return platform::RunLoop::main().runUntil(condition, timeoutSeconds);
}
