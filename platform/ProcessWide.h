// Storage for process-wide objects: made on first use and kept until the
// process ends. The storage is never destroyed, so no destructor runs at
// exit and no process-wide object can outlive another one it uses (the
// order of static destruction across files is unspecified). What it holds
// stays reachable, so leak checkers do not report it.
#pragma once

namespace platform {

// One `T` per type, value-initialised on first use, never destroyed. The
// type names the slot: a plain type (an int, a string) gets a struct of
// its own, or two users would share one slot.
template <class T>
T& processWide() {
  static T* const storage = new T();
  return *storage;
}

}  // namespace platform
