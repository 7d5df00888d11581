// The whole of a window test binary's main: the process as every window
// test wants it (UTC, the C locale, a scratch home and new application
// folders, so each run is a first run), then the tests between `start`
// (which installs the toolkit) and `finish`, both inside the scratch home's
// life.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <functional>

#include "platform/Application.h"
#include "platform/gtk/GtkToolkit.h"
#include "tests/e2e/ScratchHome.h"

inline int runWindowTests(int argc, char** argv, const std::function<void()>& start,
                          const std::function<void()>& finish = {}) {
  setenv("TZ", "UTC", 1);
  std::setlocale(LC_ALL, "C");
  ScratchHome home;
  if (!home.made()) return 2;
  home.giveTheApplicationNewFolders();
  ::testing::InitGoogleTest(&argc, argv);
  start();
  const int status = RUN_ALL_TESTS();
  if (finish) finish();
  return status;
}

// For binaries that launch the application itself: its toolkit, and no
// delegate left once the tests are done.
inline int runApplicationWindowTests(int argc, char** argv) {
  return runWindowTests(
      argc, argv, [] { platform::gtk::GtkToolkit::install(platform::gtk::GtkToolkit::InitGtk::Yes); },
      [] { platform::Application::shared().setDelegate(nullptr); });
}

// The toolkit runApplicationWindowTests installed.
inline platform::gtk::GtkToolkit& installedGtkToolkit() {
  return static_cast<platform::gtk::GtkToolkit&>(platform::Toolkit::current());
}
