// A typed key/value store of property-list values, kept in the user
// defaults under "rezido_stats_<identifier>". Saved on synchronize and when
// destroyed. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Value.h"

class GADStatisticsCore {
 public:
  explicit GADStatisticsCore(std::string identifier);
  ~GADStatisticsCore();
  GADStatisticsCore(const GADStatisticsCore&) = delete;
  GADStatisticsCore& operator=(const GADStatisticsCore&) = delete;

  const std::string& identifier() const { return identifier_; }

  // Each reader answers the stored value whatever its type, or null.
  const platform::Value* dictionaryForKey(const std::string& key) const { return statistics_.find(key); }
  const platform::Value* arrayForKey(const std::string& key) const { return statistics_.find(key); }
  const platform::Value* dateForKey(const std::string& key) const { return statistics_.find(key); }
  const platform::Value* numberForKey(const std::string& key) const { return statistics_.find(key); }
  const platform::Value* stringForKey(const std::string& key) const { return statistics_.find(key); }

  // Each writer stores the value only when it has the writer's type.
  void setDictionaryForKey(const platform::Value& value, const std::string& key);
  void setArrayForKey(const platform::Value& value, const std::string& key);
  void setDateForKey(const platform::Value& value, const std::string& key);
  void setNumberForKey(const platform::Value& value, const std::string& key);
  void setStringForKey(const platform::Value& value, const std::string& key);

  // The stored number's integer value (0 when absent) plus `value`, stored
  // and answered.
  std::int64_t addValueNumberForKey(std::int64_t value, const std::string& key);
  void removeObjectForKey(const std::string& key) { statistics_.erase(key); }
  void removeAllObjects() { statistics_ = platform::Dictionary(); }

  std::string userDefaultsKey() const;
  void loadPersistentStatistics();
  void savePersistentStatistics();
  void synchronize() { savePersistentStatistics(); }

  // The integer value of a stored number (booleans and decimals included).
  static std::int64_t integerValue(const platform::Value* value);

 private:
  bool setObjectForKeyMatchingType(const platform::Value& value, const std::string& key, bool matches);

  std::string identifier_;
  platform::Dictionary statistics_;
};
