// The user's choice about personalised ads, as the application that shows
// the banner decides it. The library never asks the user itself: asking,
// and keeping the answer, belong to the application.
//
// Until the application says Allowed, every ad request carries 32 zeros in
// place of the advertising identifier and leaves out the request's location,
// gender and birthday; ads are still requested and shown. A change takes
// effect from the very next request. Main thread only.
//
//   GADPrivacySettings::setPersonalisedAds(GADPersonalisedAds::Allowed);
//   GADPrivacySettings::resetIdentifier();   // "forget me": a new identifier
//
// The advertising identifier is 128 random bits kept in the user's data
// folder for the application ($XDG_DATA_HOME/<application id>/
// advertising-identifier), made on first use: it names this application for
// this user, never the machine.
#pragma once

#include <string>

enum class GADPersonalisedAds { NotAsked, Allowed, Declined };

class GADPrivacySettings {
 public:
  // NotAsked until the application says otherwise; the library keeps no
  // answer across runs.
  static GADPersonalisedAds personalisedAds();
  static void setPersonalisedAds(GADPersonalisedAds choice);
  static bool allowsPersonalisedAds() { return personalisedAds() == GADPersonalisedAds::Allowed; }

  // A new advertising identifier replaces the old one, whatever the choice.
  static void resetIdentifier();

  // What requests carry: the identifier while allowed, else 32 zeros.
  static std::string requestIdentifier();
  // The application's identifier, whatever the choice (made if need be).
  static std::string applicationIdentifier();

  static void resetForTesting();
};
