// The property-list value used across the system: null, boolean, integer,
// real and exact decimal numbers, text, date, bytes, array, and dictionary
// (which keeps its keys in insertion order). A Value owns its contents:
// copying a Value copies them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace platform {

class Value;

// A dictionary with text keys that remembers the order in which keys were
// first set. Setting an existing key replaces its value in place. Past a
// few entries, keys are found through a hash index, so building one of N
// keys takes time near N (ad pages write the query strings it is made of).
class Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;

  Dictionary() = default;
  Dictionary(std::initializer_list<Entry> entries);
  // Takes the entries as they are: keys must be distinct, or the caller
  // calls removeDuplicateKeys afterwards.
  explicit Dictionary(std::vector<Entry>&& entries);

  // The value for `key`, or nullptr.
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  void set(std::string key, Value value);
  // Keeps one entry per key: the first one's place, the last one's value.
  void removeDuplicateKeys();
  bool erase(std::string_view key);
  // Copies every entry of `other` in, in its order, replacing existing keys.
  void merge(const Dictionary& other);

  // Defined below Value: the entries need it whole.
  size_t size() const;
  bool empty() const;
  const std::vector<Entry>& entries() const { return entries_; }
  std::vector<Entry>::const_iterator begin() const;
  std::vector<Entry>::const_iterator end() const;

  // Same keys with equal values; the order does not matter.
  bool operator==(const Dictionary& other) const;

 private:
  static constexpr size_t kLinearSize = 16;
  // Slot of `key` in index_: where it is, or the empty slot it would take.
  size_t slotOf(std::string_view key) const;
  void rebuildIndex();

  std::vector<Entry> entries_;
  // Open addressing over the keys' hashes: entry position + 1, 0 empty; a
  // power of two at least twice the entries. Empty while linear search is
  // cheaper. Kept up to date by every change, never built by a reader.
  std::vector<std::uint32_t> index_;
};

class Value {
 public:
  struct Null {
    bool operator==(const Null&) const = default;
  };
  // Seconds since 1970-01-01 00:00:00 UTC.
  struct Date {
    double secondsSince1970 = 0;
    bool operator==(const Date&) const = default;
  };
  // A number kept exactly as its decimal literal (for example "0.1" or
  // "123456789012345678901234567890"), never rounded through double.
  struct Decimal {
    std::string literal;
    bool operator==(const Decimal&) const = default;
  };
  using Bytes = std::vector<std::uint8_t>;
  using Array = std::vector<Value>;

  enum class Type { Null, Boolean, Integer, Real, Decimal, String, Date, Bytes, Array, Dictionary };

  Value() : storage_(Null{}) {}
  Value(Null) : storage_(Null{}) {}
  Value(bool b) : storage_(b) {}
  Value(int i) : storage_(static_cast<std::int64_t>(i)) {}
  Value(long i) : storage_(static_cast<std::int64_t>(i)) {}
  Value(long long i) : storage_(static_cast<std::int64_t>(i)) {}
  Value(unsigned i) : storage_(static_cast<std::int64_t>(i)) {}
  Value(double d) : storage_(d) {}
  Value(float f) : storage_(static_cast<double>(f)) {}
  Value(Decimal d) : storage_(std::move(d)) {}
  Value(std::string s) : storage_(std::move(s)) {}
  Value(std::string_view s) : storage_(std::string(s)) {}
  Value(const char* s) : storage_(std::string(s)) {}
  Value(Date d) : storage_(d) {}
  Value(Bytes b) : storage_(std::move(b)) {}
  Value(Array a) : storage_(std::move(a)) {}
  Value(Dictionary d) : storage_(std::move(d)) {}

  Type type() const { return static_cast<Type>(storage_.index()); }
  bool isNull() const { return type() == Type::Null; }
  bool isBoolean() const { return type() == Type::Boolean; }
  bool isNumber() const {
    return type() == Type::Integer || type() == Type::Real || type() == Type::Decimal;
  }
  bool isString() const { return type() == Type::String; }
  bool isArray() const { return type() == Type::Array; }
  bool isDictionary() const { return type() == Type::Dictionary; }

  // Typed access; each returns nullptr when the value has another type.
  const bool* asBoolean() const { return std::get_if<bool>(&storage_); }
  const std::int64_t* asInteger() const { return std::get_if<std::int64_t>(&storage_); }
  const double* asReal() const { return std::get_if<double>(&storage_); }
  const Decimal* asDecimal() const { return std::get_if<Decimal>(&storage_); }
  const std::string* asString() const { return std::get_if<std::string>(&storage_); }
  const Date* asDate() const { return std::get_if<Date>(&storage_); }
  const Bytes* asBytes() const { return std::get_if<Bytes>(&storage_); }
  const Array* asArray() const { return std::get_if<Array>(&storage_); }
  Array* asArray() { return std::get_if<Array>(&storage_); }
  const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&storage_); }
  Dictionary* asDictionary() { return std::get_if<Dictionary>(&storage_); }

  // Turn this value into an empty text, array or dictionary (or a decimal
  // with `literal`) in place and answer it: for builders such as the JSON
  // reader, which fill values where they stand.
  std::string& makeString() { return storage_.emplace<std::string>(); }
  Array& makeArray() { return storage_.emplace<Array>(); }
  Dictionary& makeDictionary() { return storage_.emplace<Dictionary>(); }
  void makeDecimal(const char* literal, size_t length) {
    storage_.emplace<Decimal>(Decimal{std::string(literal, length)});
  }

  // Any number or boolean as a double (0 for other types).
  double toDouble() const;

  // Equal types with equal contents; numbers of different kinds compare by value.
  bool operator==(const Value& other) const;

  // A readable, multi-line description in the usual property-list style:
  // dictionaries as "{ key = value; }", arrays as "( a, b )".
  std::string description() const;

 private:
  void describe(std::string& out, int indent) const;

  std::variant<Null, bool, std::int64_t, double, Decimal, std::string, Date, Bytes, Array, Dictionary>
      storage_;
};

inline size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const { return entries_.begin(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const { return entries_.end(); }

}  // namespace platform
