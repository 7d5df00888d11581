#include "platform/PropertyList.h"

#include <fcntl.h>
#include <locale.h>
#include <plist/plist.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>

namespace platform {

namespace {

// libplist reads reals with strtod, which follows LC_NUMERIC: under a
// comma-decimal locale "0.25" would read as 0. The C numeric rules are put
// in force on this thread only, for the length of one libplist call.
class CNumericScope {
 public:
  CNumericScope() {
    const locale_t current = uselocale(static_cast<locale_t>(0));
    const locale_t copy = duplocale(current);
    if (copy) c_ = newlocale(LC_NUMERIC_MASK, "C", copy);
    if (!c_ && copy) freelocale(copy);
    if (c_) previous_ = uselocale(c_);
  }
  ~CNumericScope() {
    if (!c_) return;
    uselocale(previous_);
    freelocale(c_);
  }
  CNumericScope(const CNumericScope&) = delete;
  CNumericScope& operator=(const CNumericScope&) = delete;

 private:
  locale_t c_ = static_cast<locale_t>(0);
  locale_t previous_ = static_cast<locale_t>(0);
};

// libplist dates count from 2001-01-01, Value's from 1970-01-01.
constexpr double kSecondsFrom1970To2001 = 978307200.0;

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

Value fromPlist(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: {
      // libplist keeps every integer in 64 bits; negative ones come back in
      // two's complement.
      uint64_t v = 0;
      plist_get_uint_val(node, &v);
      return Value(static_cast<long long>(static_cast<int64_t>(v)));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING: {
      const char* s = plist_get_string_ptr(node, nullptr);
      return Value(std::string(s ? s : ""));
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* data = plist_get_data_ptr(node, &length);
      return Value(Value::Bytes(data, data + length));
    }
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return Value(Value::Date{kSecondsFrom1970To2001 + sec + usec / 1e6});
    }
    case PLIST_ARRAY: {
      Value::Array array;
      const uint32_t n = plist_array_get_size(node);
      array.reserve(n);
      for (uint32_t i = 0; i < n; ++i) array.push_back(fromPlist(plist_array_get_item(node, i)));
      return Value(std::move(array));
    }
    case PLIST_DICT: {
      Dictionary dict;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        if (!key) break;
        dict.set(key, fromPlist(item));
        std::free(key);
      }
      std::free(it);
      return Value(std::move(dict));
    }
    default: return Value();
  }
}

bool holdsNUL(const Value& value) {
  if (const auto* text = value.asString()) return text->find('\0') != std::string::npos;
  if (const auto* array = value.asArray()) {
    for (const auto& item : *array)
      if (holdsNUL(item)) return true;
  }
  if (const auto* dictionary = value.asDictionary()) {
    for (const auto& [key, item] : *dictionary)
      if (key.find('\0') != std::string::npos || holdsNUL(item)) return true;
  }
  return false;
}

plist_t toPlist(const Value& value) {
  switch (value.type()) {
    // This libplist has no null: an empty text stands for it.
    case Value::Type::Null: return plist_new_string("");
    case Value::Type::Boolean: return plist_new_bool(*value.asBoolean());
    case Value::Type::Integer: return plist_new_uint(static_cast<uint64_t>(*value.asInteger()));
    case Value::Type::Real: return plist_new_real(*value.asReal());
    case Value::Type::Decimal: return plist_new_real(value.toDouble());
    case Value::Type::String: return plist_new_string(value.asString()->c_str());
    case Value::Type::Date: {
      // This libplist keeps a date's seconds since 2001 in 32 bits (1933 to
      // 2069): a date past either end is kept as that end, never wrapped
      // round to the other.
      constexpr double kLatest = 2147483647.0, kEarliest = -2147483648.0;
      double since2001 = value.asDate()->secondsSince1970 - kSecondsFrom1970To2001;
      if (!(since2001 <= kLatest)) since2001 = std::isnan(since2001) ? 0 : kLatest;
      if (since2001 < kEarliest) since2001 = kEarliest;
      const double whole = std::floor(since2001);
      const double fraction = since2001 - whole;
      return plist_new_date(static_cast<int32_t>(whole), static_cast<int32_t>(fraction * 1e6));
    }
    case Value::Type::Bytes: {
      const auto& bytes = *value.asBytes();
      return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    case Value::Type::Array: {
      plist_t array = plist_new_array();
      for (const auto& item : *value.asArray()) plist_array_append_item(array, toPlist(item));
      return array;
    }
    case Value::Type::Dictionary: {
      plist_t dict = plist_new_dict();
      for (const auto& [key, item] : *value.asDictionary()) plist_dict_set_item(dict, key.c_str(), toPlist(item));
      return dict;
    }
  }
  return plist_new_string("");
}

}  // namespace

std::expected<Value, Error> PropertyList::parse(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return std::unexpected(Error{kPropertyListErrorDomain, 1, "empty property list"});
  if (bytes.size() > std::numeric_limits<uint32_t>::max())
    return std::unexpected(Error{kPropertyListErrorDomain, 2, "property list too large"});
  plist_t root = nullptr;
  {
    const CNumericScope numbers;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &root);
  }
  PlistPtr owner(root);
  if (!root)
    return std::unexpected(Error{kPropertyListErrorDomain, 2, "not a property list"});
  return fromPlist(root);
}

std::expected<Value, Error> PropertyList::readFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return std::unexpected(Error{kPropertyListErrorDomain, kCannotRead, "cannot read " + path.string() + ": " +
                                                                            std::strerror(errno)});
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return std::unexpected(Error{kPropertyListErrorDomain, kCannotRead, "cannot read " + path.string() + ": " +
                                                                              std::strerror(error)});
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  ::close(fd);
  return parse(bytes);
}

std::expected<std::string, Error> PropertyList::toXML(const Value& value) {
  if (holdsNUL(value))
    return std::unexpected(Error{kPropertyListErrorDomain, 4, "a text with a NUL character cannot be stored"});
  PlistPtr root(toPlist(value));
  char* xml = nullptr;
  uint32_t length = 0;
  {
    const CNumericScope numbers;
    plist_to_xml(root.get(), &xml, &length);
  }
  std::string out(xml ? xml : "", length);
  plist_to_xml_free(xml);
  return out;
}

}  // namespace platform
