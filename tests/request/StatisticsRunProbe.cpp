// One run of a process that uses the ad statistics before anything else, as
// the ad loader does: reports what it found from earlier runs, counts a
// request, raises a flag, starts "ptime" if none was stored, and then exits
// normally, announcing termination first when asked to ("terminate").
#include <cstdio>
#include <cstring>

#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADStatistics.h"
#include "platform/Application.h"

int main(int argc, char** argv) {
  GADStatistics& stats = GADStatistics::sharedStatistics();
  const bool timingStored = stats.timingNamed(kGADParameterTimeSinceFirstRequest) != nullptr;
  const bool flagStored = stats.store().numberForKey(kGADParameterPriorClickBreakOut) != nullptr;
  const long long requests = stats.incrementAdRequestCount();
  stats.setBreakOutToSafari();
  if (!timingStored) stats.startTimingNamed(kGADParameterTimeSinceFirstRequest);
  std::printf("preqs=%lld pcbo=%s ptime=%s\n", requests, flagStored ? "stored" : "absent",
              timingStored ? "stored" : "absent");
  if (argc > 1 && std::strcmp(argv[1], "terminate") == 0) platform::Application::shared().willTerminate();
  return 0;
}
