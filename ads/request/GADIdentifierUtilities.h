// Questions about the device, answered from the platform. For now: the OS
// version as numbers.
#pragma once

#include <string>

class GADIdentifierUtilities {
 public:
  // The platform's OS version text, for example "4.2.1".
  static std::string osVersion();
  // Splits the OS version at "."; each missing or non-numeric piece gives
  // 0. Each output may be null.
  static void getOSMajorMinorBugFix(int* major, int* minor, int* bugFix);
  // True when the OS version is at least major.minor.bug, compared number
  // by number, major first.
  static bool isOSAtLeastMajorMinorBug(int major, int minor, int bug);
};
