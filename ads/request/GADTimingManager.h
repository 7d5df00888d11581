// Named timings, at most one per category, kept in the user defaults under
// "rezido_timing_<identifier>": saved when the application is about to
// terminate, on synchronize and when destroyed. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ads/request/GADTiming.h"

class GADTimingManager {
 public:
  explicit GADTimingManager(std::string identifier);
  ~GADTimingManager();
  GADTimingManager(const GADTimingManager&) = delete;
  GADTimingManager& operator=(const GADTimingManager&) = delete;

  const std::string& identifier() const { return identifier_; }
  std::vector<std::string> categories() const;
  std::vector<std::shared_ptr<GADTiming>> timings() const;

  void addTiming(std::shared_ptr<GADTiming> timing);
  std::shared_ptr<GADTiming> addTimingWithCategory(const std::string& category);
  std::shared_ptr<GADTiming> timingForCategory(const std::string& category) const;
  void removeTimingForCategory(const std::string& category);
  void removeTiming(const GADTiming& timing) { removeTimingForCategory(timing.category()); }
  void removeTimingsForCategories(const std::vector<std::string>& categories);
  void removeAllTimings() { timings_.clear(); }

  std::string userDefaultsKey() const;
  void savePersistentTimings();
  void loadPersistentTimings();
  void synchronize() { savePersistentTimings(); }

 private:
  std::string identifier_;
  // In insertion order, one per category.
  std::vector<std::shared_ptr<GADTiming>> timings_;
};
