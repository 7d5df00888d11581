#include "ads/request/GADStatistics.h"

#include <cmath>

#include "ads/core/GADEndpoints.h"
#include "ads/request/GADNetworkUtilities.h"
#include "ads/request/GADParameterKeys.h"
#include "ads/request/GADSignalsProvider.h"
#include "platform/Clock.h"
#include "platform/ProcessWide.h"

using platform::Value;

namespace {

std::unique_ptr<GADStatistics>& sharedSlot() {
  return platform::processWide<std::unique_ptr<GADStatistics>>();
}

}  // namespace

GADStatistics& GADStatistics::sharedStatistics() {
  auto& slot = sharedSlot();
  if (!slot) slot = std::make_unique<GADStatistics>();
  return *slot;
}

void GADStatistics::releaseSharedStatistics() { sharedSlot().reset(); }

const std::vector<std::string>& GADStatistics::allTimingNames() {
  static const std::vector<std::string> names = {"prl", "pcl", "pai", "ppcl", "pcrl", "plpl", "plpd", "ptime"};
  return names;
}

GADStatistics::GADStatistics()
    : statistics_(std::make_unique<GADStatisticsCore>("shared")),
      timingMgr_(std::make_unique<GADTimingManager>("shared")) {}

void GADStatistics::startTimingNamed(const std::string& name) {
  timingMgr_->removeTimingForCategory(name);
  timingMgr_->addTimingWithCategory(name)->start();
}

void GADStatistics::endTimingNamed(const std::string& name) {
  if (auto timing = timingMgr_->timingForCategory(name)) timing->end();
}

std::shared_ptr<GADTiming> GADStatistics::timingNamed(const std::string& name) const {
  return timingMgr_->timingForCategory(name);
}

void GADStatistics::landingPageDidStartLoad() {
  if (!timingNamed(kGADParameterPriorLandingPageLoad)) startTimingNamed(kGADParameterPriorLandingPageLoad);
}

void GADStatistics::landingPageDidFinishLoad() {
  if (timingNamed(kGADParameterPriorLandingPageDuration)) return;
  endTimingNamed(kGADParameterPriorLandingPageLoad);
  startTimingNamed(kGADParameterPriorLandingPageDuration);
}

void GADStatistics::removeTimingNamed(const std::string& name) { timingMgr_->removeTimingForCategory(name); }

bool GADStatistics::isTimingClick() const {
  auto click = timingNamed(kGADParameterPriorClickLatency);
  return click && click->isActive();
}

std::int64_t GADStatistics::incrementAdRequestCount() {
  return statistics_->addValueNumberForKey(1, kGADParameterTotalAdRequests);
}

std::int64_t GADStatistics::adRequestCount() const {
  return GADStatisticsCore::integerValue(statistics_->numberForKey(kGADParameterTotalAdRequests));
}

void GADStatistics::setAdRequestCount(std::int64_t count) {
  statistics_->setNumberForKey(Value(static_cast<long long>(count)), kGADParameterTotalAdRequests);
}

void GADStatistics::incrementClickCount() { statistics_->addValueNumberForKey(1, kGADParameterPriorClickCount); }
void GADStatistics::incrementPageNavigationCount() {
  statistics_->addValueNumberForKey(1, kGADParameterPriorLandingPageNavCount);
}
void GADStatistics::incrementSSLPageNavigationCount() {
  statistics_->addValueNumberForKey(1, kGADParameterPriorLandingPageSSLNavCount);
}
void GADStatistics::resetClickCount() { statistics_->setNumberForKey(Value(0), kGADParameterPriorClickCount); }
void GADStatistics::resetPageNavigationCount() {
  statistics_->setNumberForKey(Value(0), kGADParameterPriorLandingPageNavCount);
}
void GADStatistics::resetSSLPageNavigationCount() {
  statistics_->setNumberForKey(Value(0), kGADParameterPriorLandingPageSSLNavCount);
}
void GADStatistics::setFlagWithParameterName(const std::string& name) { statistics_->setNumberForKey(Value(1), name); }
void GADStatistics::resetFlagWithParameterName(const std::string& name) { statistics_->removeObjectForKey(name); }

platform::URL GADStatistics::urlForClick(const platform::URL& url) {
  return *urlForClick(std::optional<platform::URL>(url));
}

std::optional<platform::URL> GADStatistics::urlForClick(const std::optional<platform::URL>& url) {
  // A message (of either scheme) is an ad's own, never a click.
  if (url && (url->schemeAsWritten() == "gmsg" || url->schemeAsWritten() == "vaver" ||
              url->absoluteString() == "about:blank"))
    return url;
  incrementClickCount();
  startTimingNamed(kGADParameterPriorClickLatency);
  startTimingNamed(kGADParameterPriorClickRedirectLatency);
  endTimingNamed(kGADParameterPriorPreClickLatency);
  auto click = timingNamed(kGADParameterPriorClickLatency);
  const Value date(Value::Date{platform::Clock::now()});
  click->setValueForKey(&date, "date");
  std::optional<platform::URL> result = url;
  const auto ai = url ? GADNetworkUtilities::parameterValueForKeyFromURL("ai", *url) : std::nullopt;
  if (ai && !ai->empty()) {
    const Value clickString(*ai);
    click->setValueForKey(&clickString, kGADParameterPriorClickString);
    std::string signal;
    if (gad_gmcs(*ai, signal)) {
      if (auto signed_ = GADNetworkUtilities::appendQueryKeyValueToURL(signal, std::nullopt, *url)) result = *signed_;
    }
  }
  endTimingNamed(kGADParameterPriorClickRedirectLatency);
  return result;
}

void GADStatistics::addClickTrackingURL(const platform::URL& url) {
  const std::string& host = url.host();
  const std::string domain = GADEndpoints::clickServerDomain();
  if (host.size() < domain.size() || host.compare(host.size() - domain.size(), domain.size(), domain) != 0) return;
  const std::string path = url.path();
  if (path.size() < 5) return;
  auto click = timingNamed(kGADParameterPriorClickLatency);
  if (!click) return;
  const Value ticket(path.substr(4));
  click->setValueForKey(&ticket, kGADParameterPriorImpressionTicketString);
}

platform::Dictionary GADStatistics::parameters() {
  platform::Dictionary report;
  auto click = timingNamed(kGADParameterPriorClickLatency);
  if (!click) removeTimingNamed(kGADParameterPriorPreClickLatency);
  std::uint64_t clickAge = 0;
  if (statistics_->numberForKey(kGADParameterPriorClickBackgroundedApp) && click) {
    if (const Value* date = click->valueForKey("date"); date && date->asDate()) {
      const double age = std::fabs(platform::Clock::now() - date->asDate()->secondsSince1970) * 1000.0;
      clickAge = static_cast<std::uint64_t>(age);
    }
  }
  if (click) click->removeValueForKey("date");
  for (const auto& name : allTimingNames()) {
    if (auto timing = timingNamed(name)) {
      report.set(name, timing->elapsedMillisecondsString());
      report.merge(timing->keysAndValues());
    }
    if (name != kGADParameterTimeSinceFirstRequest) removeTimingNamed(name);
  }
  if (clickAge != 0) report.set(kGADParameterPriorClickLatency, Value(static_cast<long long>(clickAge)));
  for (const char* key : {kGADParameterTotalAdRequests, kGADParameterPriorClickBreakOut,
                          kGADParameterAppOpenInterstitialTimedOut, kGADParameterAppOpenInterstitialNoFill,
                          kGADParameterPriorClickBackgroundedApp, kGADParameterPriorLandingPageNavCount,
                          kGADParameterPriorLandingPageSSLNavCount, kGADParameterPriorClickCount}) {
    const Value* stored = statistics_->numberForKey(key);
    if (GADStatisticsCore::integerValue(stored) != 0) report.set(key, *stored);
  }
  for (const char* flag : {kGADParameterPriorClickBreakOut, kGADParameterAppOpenInterstitialTimedOut,
                           kGADParameterAppOpenInterstitialNoFill, kGADParameterPriorClickBackgroundedApp})
    statistics_->removeObjectForKey(flag);
  resetPageNavigationCount();
  resetSSLPageNavigationCount();
  resetClickCount();
  return report;
}

void GADStatistics::synchronize() {
  statistics_->synchronize();
  timingMgr_->synchronize();
}
