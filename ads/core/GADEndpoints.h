// Where the ad network is: the build's configuration, or what a test names.
#pragma once

#include <optional>
#include <string>

class GADEndpoints {
 public:
  // "http://<static-content host>/zovo/sdk-core-v40.js".
  static std::string coreScriptURL();
  // The base URL of the build-ad page and of the ad server.
  static std::string adServerBaseURL();
  // Click tracking URLs on hosts ending in this time the click's stages.
  static std::string clickServerDomain();

  struct Overrides {
    std::string staticContentHost;  // host:port
    std::string adServerBaseURL;
    std::string clickServerDomain;
  };
  // The one test hook: nullopt restores the build's endpoints.
  static void setForTesting(std::optional<Overrides> overrides);
};
