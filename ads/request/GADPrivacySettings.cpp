#include "ads/request/GADPrivacySettings.h"

#include <memory>

#include "ads/request/GADAdvertisingIdentifier.h"
#include "platform/ProcessWide.h"

namespace {

struct State {
  GADPersonalisedAds choice = GADPersonalisedAds::NotAsked;
  // Made when first needed, so that a run that never allows never writes
  // a file.
  std::unique_ptr<GADAdvertisingIdentifier> identifier;
};

State& state() { return platform::processWide<State>(); }

GADAdvertisingIdentifier& identifier() {
  auto& slot = state().identifier;
  if (!slot) slot = std::make_unique<GADAdvertisingIdentifier>(GADAdvertisingIdentifier::defaultFile());
  return *slot;
}

}  // namespace

GADPersonalisedAds GADPrivacySettings::personalisedAds() { return state().choice; }

void GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds choice) { state().choice = choice; }

void GADPrivacySettings::resetIdentifier() { identifier().reset(); }

std::string GADPrivacySettings::requestIdentifier() {
  if (!allowsPersonalisedAds()) return std::string(32, '0');
  return identifier().value();
}

std::string GADPrivacySettings::applicationIdentifier() { return identifier().value(); }

void GADPrivacySettings::resetForTesting() {
  state().choice = GADPersonalisedAds::NotAsked;
  state().identifier.reset();
}
