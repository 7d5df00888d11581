// What the fuzz targets that drive the whole client share: the headless
// platform, no saved settings, a scratch cache folder, a silent log, a
// clock of their own, and a desktop that opens anything, recording it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/headless/HeadlessToolkit.h"

inline void installHeadlessClient(const std::string& cachesFolder, std::vector<std::string>& opened) {
  platform::HeadlessToolkit::install();
  platform::UserDefaults::setStandardForTesting(std::make_shared<platform::UserDefaults>(std::nullopt));
  platform::FileManager::setCachesDirectoryForTesting(cachesFolder);
  platform::setLogSinkForTesting([](const std::string&) {});
  platform::RunLoop::main().useManualTimeForTesting();
  auto& app = platform::Application::shared();
  app.setOpenURLForTesting([&opened](const std::string& url) {
    opened.push_back(url);
    return true;
  });
  app.setCanOpenURLForTesting([](const std::string&) { return true; });
}
