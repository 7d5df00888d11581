#include "ads/request/GADTiming.h"

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
  if (!std::isfinite(timing->startSeconds_)) timing->startSeconds_ = 0;
  if (!std::isfinite(timing->endSeconds_)) timing->endSeconds_ = 0;
  // The clock counts from boot: a start after the present one was made
  // before a restart and measures nothing now. It starts again.
  if (timing->startSeconds_ > counter()) {
    timing->startSeconds_ = counter();
    timing->endSeconds_ = 0;
  }
  // Nor can it have ended after now.
  if (timing->endSeconds_ > counter()) timing->endSeconds_ = 0;
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
  if (userData_) record.set(kGADTimingKeyUserDataKey, *userData_);
  return record;
}

std::shared_ptr<GADTiming> GADTiming::copy() const { return createWithDictionaryRepresentation(dictionaryRepresentation()); }

std::string GADTiming::description() const {
  char head[64];
  std::snprintf(head, sizeof head, "GADTiming (%p): ", static_cast<const void*>(this));
  return head + Value(dictionaryRepresentation()).description();
}
