// One-call conversions used when values are handed to ad scripts.
#pragma once

#include <optional>
#include <string>

#include "platform/Value.h"

class GADMacros {
 public:
  // Nullopt for no object; otherwise a default JSON writer's text for
  // `object`, or "" when the writer refuses it. Never fails outward.
  static std::optional<std::string> jsonify(const platform::Value* object);
};
