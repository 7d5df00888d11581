#include "app/PrivacyChoice.h"

#include "platform/UserDefaults.h"

GADPersonalisedAds PrivacyChoice::stored() {
  const platform::Value* value = platform::UserDefaults::standard().objectForKey(kKey);
  if (!value || !value->isString()) return GADPersonalisedAds::NotAsked;
  if (*value->asString() == "allowed") return GADPersonalisedAds::Allowed;
  if (*value->asString() == "declined") return GADPersonalisedAds::Declined;
  return GADPersonalisedAds::NotAsked;
}

void PrivacyChoice::apply() { GADPrivacySettings::setPersonalisedAds(stored()); }

void PrivacyChoice::answer(bool allow) {
  auto& defaults = platform::UserDefaults::standard();
  defaults.setObjectForKey(platform::Value(allow ? "allowed" : "declined"), kKey);
  defaults.saveInBackground();
  apply();
}
