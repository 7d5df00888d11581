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
  void removeObjectForKey(const std::string& key) {
    if (statistics_.erase(key)) changed_ = true;
  }
  void removeAllObjects() {
    statistics_ = platform::Dictionary();
    changed_ = true;
  }

  std::string userDefaultsKey() const;
  void loadPersistentStatistics();
  // Writes the store's values through the user defaults, only if they
  // changed since they were read or last written: a store that was only
  // read costs no write of the preferences file.
  void savePersistentStatistics();
  void synchronize() { savePersistentStatistics(); }

  // The integer value of a stored number (booleans and decimals included).
  static std::int64_t integerValue(const platform::Value* value);

 private:
  bool setObjectForKeyMatchingType(const platform::Value& value, const std::string& key, bool matches);

  std::string identifier_;
  platform::Dictionary statistics_;
  bool changed_ = false;
};
