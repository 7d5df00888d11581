#include "ads/content/GADClickTracker.h"

#include "ads/core/GADRequestError.h"
#include "ads/request/GADStatistics.h"
#include "platform/ProcessWide.h"

namespace {
struct TrackingCount {
  int value = 0;
};
int& trackingCount() { return platform::processWide<TrackingCount>().value; }

}  // namespace

GADClickTracker::~GADClickTracker() { reset(); }

bool GADClickTracker::activeTrackings() { return trackingCount() != 0; }
int GADClickTracker::trackingCountForTesting() { return trackingCount(); }
void GADClickTracker::resetTrackingCountForTesting() { trackingCount() = 0; }

std::optional<platform::URL> GADClickTracker::trackingURL() const {
  if (!tracker_) return std::nullopt;
  return tracker_->httpDestinationURL();
}

void GADClickTracker::trackURL(const std::optional<platform::URL>& url) {
  if (!url) return;
  reset();
  beginBackgroundTask();
  // The URL is a page's or an ad's to name, and any site's: the fetch
  // carries no cookies of ours, and what it is sent is not kept (so it
  // never reaches the pages' session either).
  tracker_ = std::make_unique<GADCachedFile>(static_cast<GADCachedFileDelegate*>(this), *url,
                                             GADCachedFile::Cookies::None);
  tracker_->validate();
}

void GADClickTracker::reset() {
  hasTracked_ = false;
  if (tracker_) {
    auto file = std::move(tracker_);
    file->setDelegate(nullptr);
    file->invalidate();
  }
  endBackgroundTask();
}

void GADClickTracker::beginBackgroundTask() {
  auto& application = platform::Application::shared();
  if (application.supportsBackgroundTasks()) {
    // The handler may run after this tracker has gone: it holds it weakly.
    std::weak_ptr<GADClickTracker> weak = weak_from_this();
    backgroundTaskID_ = application.beginBackgroundTaskWithExpirationHandler([weak] {
      if (auto self = weak.lock()) self->backgroundTimeRanOut();
    });
  } else if (!counted_) {
    ++trackingCount();
    counted_ = true;
  }
}

// The fetch stops where it is, and the tracking is over: a failure, heard
// by the delegate (a banner counts its trackers in flight by it).
void GADClickTracker::backgroundTimeRanOut() {
  if (hasTracked_) return;
  auto keep = shared_from_this();
  reset();
  hasTracked_ = true;
  if (delegate_) delegate_->trackerDidFailWithError(*this, nullptr);
}

void GADClickTracker::endBackgroundTask() {
  if (backgroundTaskID_ != 0) {
    auto& application = platform::Application::shared();
    if (application.supportsBackgroundTasks()) {
      application.endBackgroundTask(backgroundTaskID_);
      backgroundTaskID_ = 0;
    }
  } else if (counted_) {
    // Only this tracker's own count: an idle or finished tracker takes
    // nobody else's away.
    counted_ = false;
    if (trackingCount() > 0) --trackingCount();
  }
}

std::optional<platform::Error> GADClickTracker::cachedFileShouldRedirectToURL(GADCachedFile& file,
                                                                              const platform::URL& url) {
  if (url.scheme().starts_with("http")) return std::nullopt;  // scheme() is lower case
  // Leaving the web is where a click lands (a store or a dialler): done.
  cachedFileDownloadDidEnd(file);
  return platform::Error{kGADErrorDomain, 0, {}};
}

void GADClickTracker::cachedFileDownloadDidEnd(GADCachedFile& file) {
  if (hasTracked_) return;
  hasTracked_ = true;
  GADStatistics::sharedStatistics().addClickTrackingURL(file.sourceURL());
  // The delegate may let this tracker go: keep it until we are done.
  auto keep = weak_from_this().lock();
  const platform::URL destination = file.httpDestinationURL();
  if (delegate_) delegate_->trackerDidRedirect(*this, destination);
  endBackgroundTask();
}

void GADClickTracker::cachedFileDownloadDidFail(GADCachedFile& file, const platform::Error* error) {
  // A 304 is the server's answer to the tracking: it completed, whether or
  // not a copy is held for it to confirm (the cached file fails without one).
  if (file.httpStatusCode() == 304) {
    cachedFileDownloadDidEnd(file);
    return;
  }
  if (hasTracked_) return;
  hasTracked_ = true;
  auto keep = weak_from_this().lock();
  if (delegate_) delegate_->trackerDidFailWithError(*this, error);
  endBackgroundTask();
}
