// Fires one tracking URL (an impression, a click tracking URL, a page's
// "click" message) through a cached file and reports once whether it
// completed. Web redirects are followed; the first redirect that leaves the
// web (an application or store link) counts as completion.
//
// While a tracking runs it holds a background task of the application
// (when its time runs out the tracking stops and reports a failure, so
// whoever waits on it is not left waiting), or,
// where there is no such facility (the desktop), counts itself in a
// process-wide counter that the opener reads before leaving the
// application. Main thread only.
#pragma once

#include <memory>
#include <optional>

#include "ads/content/GADClickTrackerDelegate.h"
#include "ads/core/GADCachedFile.h"
#include "platform/Application.h"

class GADClickTracker : public std::enable_shared_from_this<GADClickTracker>, private GADCachedFileDelegate {
 public:
  GADClickTracker() = default;
  ~GADClickTracker() override;
  GADClickTracker(const GADClickTracker&) = delete;
  GADClickTracker& operator=(const GADClickTracker&) = delete;

  // Whether trackings counted without a background task are in flight.
  static bool activeTrackings();
  static int trackingCountForTesting();
  static void resetTrackingCountForTesting();

  // Abandons the current tracking and starts on `url`; nullopt does nothing.
  void trackURL(const std::optional<platform::URL>& url);
  // Abandons the current tracking without a report.
  void reset();

  // Not retained: its owner clears it before going.
  GADClickTrackerDelegate* delegate() const { return delegate_; }
  void setDelegate(GADClickTrackerDelegate* delegate) { delegate_ = delegate; }
  bool hasTracked() const { return hasTracked_; }
  // The last address requested for the current tracking; nullopt without one.
  std::optional<platform::URL> trackingURL() const;

 private:
  void beginBackgroundTask();
  void backgroundTimeRanOut();
  void endBackgroundTask();

  void cachedFileDownloadDidEnd(GADCachedFile& file) override;
  void cachedFileDownloadDidFail(GADCachedFile& file, const platform::Error* error) override;
  std::optional<platform::Error> cachedFileShouldRedirectToURL(GADCachedFile& file,
                                                               const platform::URL& url) override;

  GADClickTrackerDelegate* delegate_ = nullptr;
  std::unique_ptr<GADCachedFile> tracker_;
  bool hasTracked_ = false;
  platform::Application::BackgroundTaskID backgroundTaskID_ = 0;
  bool counted_ = false;  // in the process-wide count, without a background task
};
