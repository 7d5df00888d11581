#include "ads/request/GADIdentifierUtilities.h"

#include <cstdlib>

#include "platform/Device.h"

std::string GADIdentifierUtilities::osVersion() { return platform::Device::current().systemVersion(); }

void GADIdentifierUtilities::getOSMajorMinorBugFix(int* major, int* minor, int* bugFix) {
  const std::string version = osVersion();
  int numbers[3] = {0, 0, 0};
  size_t start = 0;
  for (int& number : numbers) {
    if (start > version.size()) break;
    const size_t dot = version.find('.', start);
    const std::string piece = version.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    number = std::atoi(piece.c_str());
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (major) *major = numbers[0];
  if (minor) *minor = numbers[1];
  if (bugFix) *bugFix = numbers[2];
}

bool GADIdentifierUtilities::isOSAtLeastMajorMinorBug(int major, int minor, int bug) {
  int have[3];
  getOSMajorMinorBugFix(&have[0], &have[1], &have[2]);
  const int want[3] = {major, minor, bug};
  for (int i = 0; i < 3; ++i) {
    if (have[i] != want[i]) return have[i] > want[i];
  }
  return true;
}
