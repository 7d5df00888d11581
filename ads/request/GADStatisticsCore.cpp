#include "ads/request/GADStatisticsCore.h"

#include <cerrno>
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
  changed_ = true;
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

// A stored value comes from a file anyone may have edited: one outside the
// range of a count (or no number at all) counts as absent.
std::int64_t GADStatisticsCore::integerValue(const Value* value) {
  if (!value) return 0;
  if (const auto* integer = value->asInteger()) return *integer;
  if (const auto* decimal = value->asDecimal()) {
    errno = 0;
    const long long parsed = std::strtoll(decimal->literal.c_str(), nullptr, 10);
    return errno == ERANGE ? 0 : parsed;
  }
  if (value->isNumber() || value->isBoolean()) {
    const double real = value->toDouble();
    // -2^63 and 2^63 bound what converts; NaN fails both tests.
    if (!(real >= -9223372036854775808.0 && real < 9223372036854775808.0)) return 0;
    return static_cast<std::int64_t>(real);
  }
  return 0;
}

std::int64_t GADStatisticsCore::addValueNumberForKey(std::int64_t value, const std::string& key) {
  std::int64_t total = 0;
  if (__builtin_add_overflow(integerValue(statistics_.find(key)), value, &total)) total = value;
  statistics_.set(key, Value(static_cast<long long>(total)));
  changed_ = true;
  return total;
}

void GADStatisticsCore::loadPersistentStatistics() {
  const Value* stored = platform::UserDefaults::standard().objectForKey(userDefaultsKey());
  if (stored && stored->isDictionary()) statistics_.merge(*stored->asDictionary());
}

void GADStatisticsCore::savePersistentStatistics() {
  if (!changed_) return;
  changed_ = false;
  auto& defaults = platform::UserDefaults::standard();
  defaults.setObjectForKey(Value(statistics_), userDefaultsKey());
  // Off the main thread: an attempt never waits on the disk.
  defaults.saveInBackground();
}
