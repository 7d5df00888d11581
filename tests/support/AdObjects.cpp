#include "tests/support/AdObjects.h"

#include "ads/content/GADClickTracker.h"
#include "ads/content/GADContentPolicy.h"
#include "ads/content/GADNotificationCenter.h"
#include "ads/content/GADOpener.h"
#include "ads/core/GADEndpoints.h"
#include "ads/core/GADObjectPrivate.h"
#include "ads/fullscreen/GADViewController.h"
#include "ads/request/GADIdentifierUtilities.h"
#include "ads/request/GADNetworkChecker.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADPrivacySettings.h"
#include "ads/request/GADSignalsProvider.h"
#include "ads/request/GADStatistics.h"

void AdObjects::resetForTesting() {
  GADStatistics::releaseSharedStatistics();
  GADNotificationCenter::resetDefaultForTesting();
  GADIdentifierUtilities::resetForTesting();
  GADPrivacySettings::resetForTesting();
  GADNetworkChecker::resetForTesting();
  GADSignalsProvider::resetForTesting();
  GADNetworkUtilities::resetUserAgentForTesting();
  GADClickTracker::resetTrackingCountForTesting();
  GADOpener::resetRepeatCountForTesting();
  GADObjectPrivate::resetLaunchFinishedForTesting();
  GADEndpoints::setForTesting(std::nullopt);
  GADContentPolicy::resetForTesting();
  GADViewController::resetPresentedScreensForTesting();
}
