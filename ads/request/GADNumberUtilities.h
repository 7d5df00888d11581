// Short decimal texts for floats.
#pragma once

#include <string>

class GADNumberUtilities {
 public:
  // "%f", then trailing zeros dropped, then a trailing "." dropped: 2.0
  // gives "2", 1.5 "1.5", 0.0 "0".
  static std::string stringWithFloat(float value);
};
