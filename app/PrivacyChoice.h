// The user's answer about personalised ads, kept in the application's
// preferences and handed to the ad client. Asked once, on the main screen
// (PrivacyNotice); changed on the info screen. Main thread only.
#pragma once

#include "ads/request/GADPrivacySettings.h"

class PrivacyChoice {
 public:
  // The preferences key: "allowed" or "declined"; absent until answered.
  static constexpr const char* kKey = "PersonalisedAds";

  // The kept answer; NotAsked when there is none (or it is not one we write).
  static GADPersonalisedAds stored();
  static bool hasAnswered() { return stored() != GADPersonalisedAds::NotAsked; }
  // Hands the kept answer to the ad client.
  static void apply();
  // Keeps the user's answer (saved in the background) and applies it: the
  // next ad request carries it.
  static void answer(bool allow);
};
