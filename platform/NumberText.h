// Numbers as text, the same under every locale: a point before the
// fraction, no grouping. printf's "%f" and strtod follow LC_NUMERIC, which
// the toolkit adopts from the user's environment at start-up, so every
// number that reaches a query, JSON, a property list, CSS or a log line
// that is read back goes through here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

class NumberText {
 public:
  // As printf's "%.<decimals>f" in the C locale.
  static std::string fixed(double value, int decimals);
  // As printf's "%.<precision>g" in the C locale.
  static std::string general(double value, int precision);
  // The whole of `text` as a decimal or exponent number ("-1.5e3");
  // nullopt for anything else, empty text and trailing characters included.
  static std::optional<double> parse(std::string_view text);
};

}  // namespace platform
