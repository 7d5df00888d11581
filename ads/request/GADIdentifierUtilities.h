// Everything the ad request asks of the device, the application and the
// screen, and the device-identity part of every request. One shared
// instance caches what cannot change while the process runs. Main thread
// only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Value.h"

class GADIdentifierUtilities {
 public:
  static GADIdentifierUtilities& sharedInstance();
  static void resetForTesting();

  // A file or folder at "/Applications/Cydia.app".
  static bool isJailbroken();
  // The OS version text split at "."; missing or non-numeric pieces give 0.
  // Each output may be null.
  static void getOSMajorMinorBugFix(int* major, int* minor, int* bugFix);
  // Compared number by number, major first.
  static bool isOSAtLeastMajorMinorBug(int major, int minor, int bug);
  // The file as a property list when it is a dictionary, else empty.
  static platform::Dictionary readITunesMetadataFileAt(const std::filesystem::path& path);
  static std::string osVersion();

  bool isPhoneIdiom() const { return isPhoneIdiom_; }
  bool jailbroken() const { return isJailbroken_; }
  std::string deviceModel() const;
  const std::string& deviceSubmodel();
  // 32 uppercase hexadecimal digits: the application's advertising
  // identifier while the user allows personalised ads, else all zeros
  // (GADPrivacySettings).
  std::string deviceIdentifier() const;
  // The first preferred language, lowercase; nullopt when there is none.
  std::optional<std::string> locale();
  // 1 speaker or unknown, 2 headphones or headset, 3 silenced, 5 other.
  int audioRoute() const;
  bool isOrientationLandscape() const;
  float screenDensity() const;
  // Width and height in points; the height includes the status bar while
  // it is shown.
  std::pair<float, float> screenSize() const;
  // Each text mapped to whether some installed application can open it.
  platform::Dictionary canOpenURLs(const std::vector<std::string>& urls) const;
  const platform::Dictionary& iTunesMetadata();
  // The device-identity dictionary of every request.
  platform::Dictionary parameters();

 private:
  GADIdentifierUtilities();

  bool isPhoneIdiom_ = true;
  std::optional<platform::Dictionary> iTunesMetadata_;
  bool isJailbroken_ = false;
  std::optional<std::string> deviceSubmodel_;
  std::optional<std::string> locale_;
};
