// The base fixture of headless tests: a fresh run loop on its own GLib main
// context, fresh process-wide platform objects and a headless toolkit, and
// a record of the log lines written during the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless/HeadlessToolkit.h"

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Turns the loop until `condition` holds; false after `timeoutSeconds`.
  bool runUntil(const std::function<bool()>& condition, double timeoutSeconds = 5.0);

  platform::HeadlessToolkit& toolkit() { return *toolkit_; }
  const std::vector<std::string>& logLines() const { return logLines_; }
  // The application's data folder during the test (empty at its start).
  const std::filesystem::path& dataFolder() const { return dataFolder_; }

 private:
  platform::HeadlessToolkit* toolkit_ = nullptr;
  std::vector<std::string> logLines_;
  std::filesystem::path dataFolder_;
};
