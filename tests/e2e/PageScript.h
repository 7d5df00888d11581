// Runs a script in a real page and waits for its result, for window tests.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/RunLoop.h"
#include "platform/WebView.h"

class PageScript {
 public:
  // The script's result as text; nullopt when it failed or never answered.
  static std::optional<std::string> evaluate(platform::WebView& view, const std::string& script, double seconds = 15) {
    std::optional<std::string> result;
    bool done = false;
    view.evaluateJavaScript(script, [&](std::optional<std::string> r) {
      result = std::move(r);
      done = true;
    });
    EXPECT_FALSE(done) << "never inside the call";
    EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return done; }, seconds));
    return result;
  }
};
