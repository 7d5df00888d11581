#include "ads/request/GADTimingManager.h"

#include <algorithm>

#include "platform/Application.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

GADTimingManager::GADTimingManager(std::string identifier) : identifier_(std::move(identifier)) {
  loadPersistentTimings();
  // The manager removes this registration before it goes.
  platform::NotificationCenter::defaultCenter().addObserver(
      this, platform::kApplicationWillTerminateNotification, nullptr,
      [this](const platform::Notification&) { savePersistentTimings(); });
}

GADTimingManager::~GADTimingManager() {
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  savePersistentTimings();
}

std::vector<std::string> GADTimingManager::categories() const {
  std::vector<std::string> names;
  for (const auto& timing : timings_) names.push_back(timing->category());
  return names;
}

std::vector<std::shared_ptr<GADTiming>> GADTimingManager::timings() const { return timings_; }

void GADTimingManager::addTiming(std::shared_ptr<GADTiming> timing) {
  if (!timing) return;
  for (auto& existing : timings_) {
    if (existing->category() == timing->category()) {
      existing = std::move(timing);
      return;
    }
  }
  timings_.push_back(std::move(timing));
}

std::shared_ptr<GADTiming> GADTimingManager::addTimingWithCategory(const std::string& category) {
  auto timing = std::make_shared<GADTiming>(category);
  addTiming(timing);
  return timing;
}

std::shared_ptr<GADTiming> GADTimingManager::timingForCategory(const std::string& category) const {
  for (const auto& timing : timings_)
    if (timing->category() == category) return timing;
  return nullptr;
}

void GADTimingManager::removeTimingForCategory(const std::string& category) {
  std::erase_if(timings_, [&](const auto& timing) { return timing->category() == category; });
}

void GADTimingManager::removeTimingsForCategories(const std::vector<std::string>& categories) {
  for (const auto& category : categories) removeTimingForCategory(category);
}

std::string GADTimingManager::userDefaultsKey() const { return "rezido_timing_" + identifier_; }

void GADTimingManager::savePersistentTimings() {
  platform::Dictionary records;
  for (const auto& timing : timings_) records.set(timing->category(), timing->dictionaryRepresentation());
  auto& defaults = platform::UserDefaults::standard();
  defaults.setObjectForKey(platform::Value(std::move(records)), userDefaultsKey());
  defaults.synchronize();
}

void GADTimingManager::loadPersistentTimings() {
  const platform::Value* stored = platform::UserDefaults::standard().objectForKey(userDefaultsKey());
  if (!stored || !stored->isDictionary()) return;
  for (const auto& [category, record] : *stored->asDictionary()) {
    if (!record.isDictionary()) continue;
    auto timing = GADTiming::createWithDictionaryRepresentation(*record.asDictionary());
    if (!timing) continue;
    // The record's own category is the timing's: a file that files it under
    // another key must not give two timings of one category.
    removeTimingForCategory(timing->category());
    timings_.push_back(std::move(timing));
  }
}
