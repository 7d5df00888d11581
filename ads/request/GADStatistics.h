// The counters, flags and timings reported with the next ad request, and
// cleared once reported. One shared instance over a statistics store and a
// timing manager, both with the identifier "shared". Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/request/GADStatisticsCore.h"
#include "ads/request/GADTimingManager.h"
#include "platform/URL.h"

class GADStatistics {
 public:
  static GADStatistics& sharedStatistics();
  // Destroys the shared instance; its stores save as they go.
  static void releaseSharedStatistics();
  static const std::vector<std::string>& allTimingNames();

  GADStatistics();

  void startTimingNamed(const std::string& name);
  void endTimingNamed(const std::string& name);
  std::shared_ptr<GADTiming> timingNamed(const std::string& name) const;
  void removeTimingNamed(const std::string& name);
  bool isTimingClick() const;
  // A full-screen screen's page: its load ("plpl") runs from the first
  // start to the first finish, and its duration ("plpd") from that finish.
  // Later pages change neither while those timings exist.
  void landingPageDidStartLoad();
  void landingPageDidFinishLoad();

  std::int64_t incrementAdRequestCount();
  std::int64_t adRequestCount() const;
  void setAdRequestCount(std::int64_t count);

  void incrementClickCount();
  void incrementPageNavigationCount();
  void incrementSSLPageNavigationCount();
  void resetClickCount();
  void resetPageNavigationCount();
  void resetSSLPageNavigationCount();
  void setBreakOutToSafari() { setFlagWithParameterName("pcbo"); }
  void setClickBackgroundedApp() { setFlagWithParameterName("pclb"); }
  void setAppOpenInterstitialTimeOut() { setFlagWithParameterName("aoi_timedout"); }
  void setAppOpenInterstitialNoFill() { setFlagWithParameterName("aoi_nofill"); }
  void resetBreakOutToSafari() { resetFlagWithParameterName("pcbo"); }
  void resetClickBackgroundedApp() { resetFlagWithParameterName("pclb"); }
  void resetAppOpenInterstitialTimeOut() { resetFlagWithParameterName("aoi_timedout"); }
  void resetAppOpenInterstitialNoFill() { resetFlagWithParameterName("aoi_nofill"); }
  void setFlagWithParameterName(const std::string& name);
  void resetFlagWithParameterName(const std::string& name);

  // Records a click and answers the URL to open (with the click signal).
  platform::URL urlForClick(const platform::URL& url);
  // A click without a URL (an ad's own HTML opened) is counted all the same,
  // and answers nothing.
  std::optional<platform::URL> urlForClick(const std::optional<platform::URL>& url);
  // A finished click-tracking fetch of `url`: its path (less the first four
  // characters) becomes the click's "pit" when the host is the click server.
  void addClickTrackingURL(const platform::URL& url);

  // The statistics part of the request parameters; clears what it reports.
  platform::Dictionary parameters();
  void synchronize();

  GADStatisticsCore& store() { return *statistics_; }
  GADTimingManager& timingManager() { return *timingMgr_; }

 private:
  std::unique_ptr<GADStatisticsCore> statistics_;
  std::unique_ptr<GADTimingManager> timingMgr_;
};
