#include "ads/core/GADEndpoints.h"

#include "BuildConfig.h"
#include "platform/ProcessWide.h"

namespace {
std::optional<GADEndpoints::Overrides>& overrides() {
  return platform::processWide<std::optional<GADEndpoints::Overrides>>();
}
}  // namespace

std::string GADEndpoints::coreScriptURL() {
  const std::string host = overrides() ? overrides()->staticContentHost : config::kStaticContentHost;
  return "http://" + host + "/zovo/sdk-core-v40.js";
}

std::string GADEndpoints::adServerBaseURL() {
  return overrides() ? overrides()->adServerBaseURL : config::kAdServerBaseURL;
}

std::string GADEndpoints::clickServerDomain() {
  return overrides() ? overrides()->clickServerDomain : config::kClickServerDomain;
}

void GADEndpoints::setForTesting(std::optional<Overrides> value) { overrides() = std::move(value); }
