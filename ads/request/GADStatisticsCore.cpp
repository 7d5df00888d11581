#include "ads/request/GADStatisticsCore.h"

#include <cstdlib>

#include "platform/UserDefaults.h"

using platform::Value;

GADStatisticsCore::GADStatisticsCore(std::string identifier) : identifier_(std::move(identifier)) {
  loadPersistentStatistics();
}

GADStatisticsCore::~GADStatisticsCore() { savePersistentStatistics(); }

std::string GADStatisticsCore::userDefaultsKey() const { return "rezido_stats_" + identifier_; }

bool GADStatisticsCore::setObjectForKeyMatchingType(const Value& value, const std::string& key, bool matches) {
  if (!matches) return false;
  statistics_.set(key, value);
  return true;
}

void GADStatisticsCore::setDictionaryForKey(const Value& value, const std::string& key) {
  setObjectForKeyMatchingType(value, key, value.isDictionary());
}
void GADStatisticsCore::setArrayForKey(const Value& value, const std::string& key) {
  setObjectForKeyMatchingType(value, key, value.isArray());
}
void GADStatisticsCore::setDateForKey(const Value& value, const std::string& key) {
  setObjectForKeyMatchingType(value, key, value.type() == Value::Type::Date);
}
void GADStatisticsCore::setNumberForKey(const Value& value, const std::string& key) {
  setObjectForKeyMatchingType(value, key, value.isNumber() || value.isBoolean());
}
void GADStatisticsCore::setStringForKey(const Value& value, const std::string& key) {
  setObjectForKeyMatchingType(value, key, value.isString());
}

std::int64_t GADStatisticsCore::integerValue(const Value* value) {
  if (!value) return 0;
  if (const auto* integer = value->asInteger()) return *integer;
  if (const auto* decimal = value->asDecimal()) return std::strtoll(decimal->literal.c_str(), nullptr, 10);
  if (value->isNumber() || value->isBoolean()) return static_cast<std::int64_t>(value->toDouble());
  return 0;
}

std::int64_t GADStatisticsCore::addValueNumberForKey(std::int64_t value, const std::string& key) {
  const std::int64_t total = integerValue(statistics_.find(key)) + value;
  statistics_.set(key, Value(static_cast<long long>(total)));
  return total;
}

void GADStatisticsCore::loadPersistentStatistics() {
  const Value* stored = platform::UserDefaults::standard().objectForKey(userDefaultsKey());
  if (stored && stored->isDictionary()) statistics_.merge(*stored->asDictionary());
}

void GADStatisticsCore::savePersistentStatistics() {
  auto& defaults = platform::UserDefaults::standard();
  defaults.setObjectForKey(Value(statistics_), userDefaultsKey());
  defaults.synchronize();
}
