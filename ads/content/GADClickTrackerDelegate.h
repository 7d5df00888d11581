// What a click tracker tells its delegate: one outcome per tracking.
#pragma once

#include "platform/Error.h"
#include "platform/URL.h"

class GADClickTracker;

class GADClickTrackerDelegate {
 public:
  virtual ~GADClickTrackerDelegate() = default;
  // The tracking completed; `url` is the last address requested.
  virtual void trackerDidRedirect(GADClickTracker&, const platform::URL&) {}
  // The tracking failed; null for an HTTP status other than 200 and 304.
  virtual void trackerDidFailWithError(GADClickTracker&, const platform::Error*) {}
};
