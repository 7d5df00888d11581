// The token a web application's main frame was given for "evalInOpener",
// read from the main-frame script its web view's headless peer recorded.
#pragma once

#include <string>

#include "platform/headless/HeadlessWebViewPeer.h"

class OpenerToken {
 public:
  // Empty when no main-frame script holds one.
  static std::string of(const platform::HeadlessWebViewPeer& page) {
    static constexpr char kMark[] = "var t='";
    for (const auto& script : page.mainFrameScripts()) {
      const size_t at = script.find(kMark);
      if (at == std::string::npos) continue;
      const size_t start = at + sizeof kMark - 1;
      const size_t end = script.find('\'', start);
      if (end != std::string::npos) return script.substr(start, end - start);
    }
    return "";
  }
};
