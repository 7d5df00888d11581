// GStreamer reads its plugin registry the first time a sound is made, and
// rebuilds it when the cache folder has none: half a second to a second
// on the main thread, before the first sound plays. Started on a worker
// thread at launch, it is ready before anyone presses a button; a sound
// asked for before then waits for it without holding up the main loop.
// Main thread only.
#pragma once

#include <functional>

namespace platform::gtk {

class GtkMediaWarmUp {
 public:
  // Once, at launch; later calls do nothing.
  static void start();
  // Runs `then` now when the media framework is ready (or no warm-up was
  // started), else on the main loop once it is.
  static void whenReady(std::function<void()> then);
};

}  // namespace platform::gtk
