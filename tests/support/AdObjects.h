// The ad client's process-wide objects (statistics, device identity,
// network checker, signals, user agent, counters, endpoints), made fresh
// for a test. Needs no toolkit, so window tests use it too.
#pragma once

class AdObjects {
 public:
  static void resetForTesting();
};
