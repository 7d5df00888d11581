#include "platform/Value.h"
#include "platform/ASCII.h"
#include "platform/NumberText.h"

#include <cstdint>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <unordered_map>

namespace platform {

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  for (const auto& entry : entries) set(entry.first, entry.second);
}

Dictionary::Dictionary(std::vector<Entry>&& entries) : entries_(std::move(entries)) { rebuildIndex(); }

size_t Dictionary::slotOf(std::string_view key) const {
  const size_t mask = index_.size() - 1;
  size_t slot = std::hash<std::string_view>()(key) & mask;
  while (index_[slot] != 0 && entries_[index_[slot] - 1].first != key) slot = (slot + 1) & mask;
  return slot;
}

// With duplicate keys (before removeDuplicateKeys) the first one is found,
// as a linear search would.
void Dictionary::rebuildIndex() {
  index_.clear();
  if (entries_.size() <= kLinearSize) return;
  size_t slots = 64;
  while (slots < entries_.size() * 2) slots <<= 1;
  index_.assign(slots, 0);
  for (size_t i = 0; i < entries_.size(); ++i) {
    const size_t slot = slotOf(entries_[i].first);
    if (index_[slot] == 0) index_[slot] = static_cast<std::uint32_t>(i + 1);
  }
}

const Value* Dictionary::find(std::string_view key) const {
  if (!index_.empty()) {
    const std::uint32_t at = index_[slotOf(key)];
    return at == 0 ? nullptr : &entries_[at - 1].second;
  }
  for (const auto& entry : entries_) {
    if (entry.first == key) return &entry.second;
  }
  return nullptr;
}

Value* Dictionary::find(std::string_view key) {
  return const_cast<Value*>(static_cast<const Dictionary&>(*this).find(key));
}

void Dictionary::set(std::string key, Value value) {
  if (Value* existing = find(key)) {
    *existing = std::move(value);
    return;
  }
  entries_.emplace_back(std::move(key), std::move(value));
  if (index_.empty() || entries_.size() * 2 > index_.size()) {
    rebuildIndex();
    return;
  }
  index_[slotOf(entries_.back().first)] = static_cast<std::uint32_t>(entries_.size());
}

void Dictionary::removeDuplicateKeys() {
  const size_t n = entries_.size();
  if (n < 2) return;
  bool duplicates = false;
  if (n <= 16) {
    // Small objects, the usual case: pairwise, with no allocation.
    for (size_t i = 1; i < n && !duplicates; ++i)
      for (size_t j = 0; j < i; ++j)
        if (entries_[i].first == entries_[j].first) {
          duplicates = true;
          break;
        }
  } else {
    // Open addressing over the keys' hashes: one allocation, keys compared
    // only when their slots collide.
    size_t slots = 1;
    while (slots < n * 2) slots <<= 1;
    std::vector<std::uint32_t> table(slots, 0);  // entry index + 1; 0 is empty
    const std::hash<std::string_view> hash;
    for (size_t i = 0; i < n && !duplicates; ++i) {
      size_t slot = hash(entries_[i].first) & (slots - 1);
      while (table[slot] != 0) {
        if (entries_[table[slot] - 1].first == entries_[i].first) {
          duplicates = true;
          break;
        }
        slot = (slot + 1) & (slots - 1);
      }
      table[slot] = static_cast<std::uint32_t>(i + 1);
    }
  }
  if (!duplicates) return;
  std::vector<Entry> unique;
  unique.reserve(n);
  std::unordered_map<std::string, size_t> placed;
  for (auto& entry : entries_) {
    auto [it, inserted] = placed.emplace(entry.first, unique.size());
    if (inserted)
      unique.push_back(std::move(entry));
    else
      unique[it->second].second = std::move(entry.second);
  }
  entries_ = std::move(unique);
  rebuildIndex();
}

bool Dictionary::erase(std::string_view key) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == key) {
      entries_.erase(it);
      rebuildIndex();
      return true;
    }
  }
  return false;
}

void Dictionary::merge(const Dictionary& other) {
  for (const auto& entry : other.entries_) set(entry.first, entry.second);
}

bool Dictionary::operator==(const Dictionary& other) const {
  if (size() != other.size()) return false;
  for (const auto& entry : entries_) {
    const Value* theirs = other.find(entry.first);
    if (!theirs || !(*theirs == entry.second)) return false;
  }
  return true;
}

double Value::toDouble() const {
  switch (type()) {
    case Type::Boolean: return *asBoolean() ? 1.0 : 0.0;
    case Type::Integer: return static_cast<double>(*asInteger());
    case Type::Real: return *asReal();
    case Type::Decimal: return NumberText::parse(asDecimal()->literal).value_or(0.0);
    default: return 0.0;
  }
}

bool Value::operator==(const Value& other) const {
  if (isNumber() && other.isNumber() && type() != other.type()) {
    if (type() == Type::Integer && other.type() == Type::Real)
      return static_cast<long double>(*asInteger()) == *other.asReal();
    if (type() == Type::Real && other.type() == Type::Integer)
      return *asReal() == static_cast<long double>(*other.asInteger());
    return toDouble() == other.toDouble();
  }
  return storage_ == other.storage_;
}

namespace {

// Texts made only of letters, digits and a few safe marks stand bare;
// everything else is quoted, as property-list descriptions do.
bool needsQuotes(const std::string& text) {
  if (text.empty()) return true;
  for (unsigned char c : text) {
    if (!ascii::isAlnum(c) && c != '_' && c != '.' && c != '$' && c != '/' && c != ':' && c != '-')
      return true;
  }
  return false;
}

void appendQuoted(std::string& out, const std::string& text) {
  if (!needsQuotes(text)) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  out += '"';
}

void appendIndent(std::string& out, int indent) { out.append(static_cast<size_t>(indent) * 4, ' '); }

}  // namespace

void Value::describe(std::string& out, int indent) const {
  char buffer[64];
  switch (type()) {
    case Type::Null: out += "<null>"; break;
    case Type::Boolean: out += *asBoolean() ? "1" : "0"; break;
    case Type::Integer:
      std::snprintf(buffer, sizeof buffer, "%" PRId64, *asInteger());
      out += buffer;
      break;
    case Type::Real:
      out += NumberText::general(*asReal(), 17);
      break;
    case Type::Decimal: out += asDecimal()->literal; break;
    case Type::String: appendQuoted(out, *asString()); break;
    case Type::Date: {
      const std::time_t seconds = static_cast<std::time_t>(std::floor(asDate()->secondsSince1970));
      std::tm utc{};
      gmtime_r(&seconds, &utc);
      std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &utc);
      out += buffer;
      break;
    }
    case Type::Bytes: {
      out += '<';
      const Bytes& bytes = *asBytes();
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 4 == 0) out += ' ';
        std::snprintf(buffer, sizeof buffer, "%02x", bytes[i]);
        out += buffer;
      }
      out += '>';
      break;
    }
    case Type::Array: {
      const Array& array = *asArray();
      out += "(\n";
      for (size_t i = 0; i < array.size(); ++i) {
        appendIndent(out, indent + 1);
        array[i].describe(out, indent + 1);
        out += i + 1 < array.size() ? ",\n" : "\n";
      }
      appendIndent(out, indent);
      out += ')';
      break;
    }
    case Type::Dictionary: {
      out += "{\n";
      for (const auto& [key, value] : *asDictionary()) {
        appendIndent(out, indent + 1);
        appendQuoted(out, key);
        out += " = ";
        value.describe(out, indent + 1);
        out += ";\n";
      }
      appendIndent(out, indent);
      out += '}';
      break;
    }
  }
}

std::string Value::description() const {
  std::string out;
  describe(out, 0);
  return out;
}

}  // namespace platform
