// A full-screen ad screen that a page can give back ("close"): the
// full-screen controllers implement it; the banner's screen does not.
#pragma once

class GADRelinquishableScreen {
 public:
  virtual ~GADRelinquishableScreen() = default;
  virtual void relinquishScreen() = 0;
};
