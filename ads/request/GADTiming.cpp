#include "ads/request/GADTiming.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Clock.h"

using platform::Dictionary;
using platform::Value;

double GADTiming::counter() { return platform::Clock::monotonicSeconds(); }

std::shared_ptr<GADTiming> GADTiming::createWithDictionaryRepresentation(const Dictionary& record) {
  const Value* category = record.find(kGADTimingCategoryKey);
  if (!category || !category->isString()) return nullptr;
  auto timing = std::make_shared<GADTiming>(*category->asString());
  if (const Value* start = record.find(kGADTimingStartKey)) timing->startSeconds_ = start->toDouble();
  if (const Value* end = record.find(kGADTimingEndKey)) timing->endSeconds_ = end->toDouble();
  if (!std::isfinite(timing->startSeconds_) || timing->startSeconds_ < 0) timing->startSeconds_ = 0;
  if (!std::isfinite(timing->endSeconds_) || timing->endSeconds_ < 0) timing->endSeconds_ = 0;
  // Which boot's clock the values count: the record says, or, for a record
  // that does not, a value past the present one shows it was another's.
  const Value* boot = record.find(kGADTimingBootKey);
  const std::string* bootText = boot ? boot->asString() : nullptr;
  const std::string& thisBoot = platform::Clock::bootIdentifier();
  const double now = counter();
  bool otherBoot = bootText ? (thisBoot.empty() || *bootText != thisBoot) : false;
  if (timing->startSeconds_ > now || timing->endSeconds_ > now) otherBoot = true;
  if (otherBoot && timing->startSeconds_ > 0) {
    if (timing->endSeconds_ >= timing->startSeconds_) {
      // Ended: its length stands, moved to this boot's clock (as far back
      // as the clock goes).
      const double length = timing->endSeconds_ - timing->startSeconds_;
      timing->endSeconds_ = now;
      timing->startSeconds_ = std::max(now - length, std::nextafter(0.0, 1.0));
    } else {
      // Running: what it measured since is unknowable. It starts again.
      timing->startSeconds_ = now;
      timing->endSeconds_ = 0;
    }
  }
  if (const Value* data = record.find(kGADTimingKeyUserDataKey); data && data->isDictionary())
    timing->userData_ = *data->asDictionary();
  return timing;
}

void GADTiming::start() {
  startSeconds_ = counter();
  endSeconds_ = 0;
}

void GADTiming::end() {
  if (startSeconds_ > 0) endSeconds_ = counter();
}

std::uint32_t GADTiming::elapsedMilliseconds() const {
  if (startSeconds_ <= 0) return 0;
  const double end = endSeconds_ < startSeconds_ ? counter() : endSeconds_;
  const double milliseconds = (end - startSeconds_) * 1000.0;
  if (!(milliseconds > 0)) return 0;
  if (milliseconds >= 4294967295.0) return 4294967295u;
  return static_cast<std::uint32_t>(milliseconds);
}

std::string GADTiming::elapsedMillisecondsString() const { return std::to_string(elapsedMilliseconds()); }

void GADTiming::setValueForKey(const Value* value, const std::string& key) {
  if (!value) return;
  if (!userData_) userData_.emplace();
  userData_->set(key, *value);
}

const Value* GADTiming::valueForKey(const std::string& key) const { return userData_ ? userData_->find(key) : nullptr; }

void GADTiming::removeValueForKey(const std::string& key) {
  if (userData_) userData_->erase(key);
}

Dictionary GADTiming::dictionaryRepresentation() const {
  Dictionary record{{kGADTimingCategoryKey, category_}, {kGADTimingStartKey, startSeconds_}, {kGADTimingEndKey, endSeconds_}};
  if (const std::string& boot = platform::Clock::bootIdentifier(); !boot.empty()) record.set(kGADTimingBootKey, boot);
  if (userData_) record.set(kGADTimingKeyUserDataKey, *userData_);
  return record;
}

std::shared_ptr<GADTiming> GADTiming::copy() const { return createWithDictionaryRepresentation(dictionaryRepresentation()); }

std::string GADTiming::description() const {
  char head[64];
  std::snprintf(head, sizeof head, "GADTiming (%p): ", static_cast<const void*>(this));
  return head + Value(dictionaryRepresentation()).description();
}
