// The device's screen: the phone-sized window's points and scale, the
// application frame and the status bar's frame and orientation. A test
// replaces it with a fake by subclassing and setMainForTesting.
#pragma once

#include <memory>

#include "platform/Geometry.h"

namespace platform {

// The phone's numbering: 3 and 4 are the two landscape orientations.
enum class InterfaceOrientation {
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeRight = 3,
  LandscapeLeft = 4,
};

class Screen {
 public:
  static constexpr double kWidth = 320;
  static constexpr double kHeight = 480;
  static constexpr double kStatusBarHeight = 20;

  virtual ~Screen() = default;

  static Screen& main();
  // Installs `screen` as the main one; null restores the real one.
  static void setMainForTesting(std::shared_ptr<Screen> screen);

  // The whole screen: 320 x 480 points.
  virtual Rect bounds() const;
  // Device pixels per point, as the display reports it (1 until known).
  virtual double scale() const;
  // The screen less the status bar when the status bar is shown.
  virtual Rect applicationFrame() const;
  // The status bar's frame; the zero rectangle while it is hidden.
  virtual Rect statusBarFrame() const;
  virtual InterfaceOrientation statusBarOrientation() const;

  // Set by the toolkit once the window is on a monitor.
  void setScale(double scale) { scale_ = scale; }

 private:
  double scale_ = 1.0;
};

}  // namespace platform
