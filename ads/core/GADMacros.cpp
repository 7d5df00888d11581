#include "ads/core/GADMacros.h"

#include "ads/codec/GAD_TamskJSON.h"

std::optional<std::string> GADMacros::jsonify(const platform::Value* object) {
  if (!object) return std::nullopt;
  GAD_TamskJSON writer;
  auto text = writer.stringWithObject(*object);
  return text ? std::move(*text) : std::string();
}
