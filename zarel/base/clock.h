// The current date and time, through one service that can be fixed.
//
// Everything in the system that reads the clock ("%Date%" in page headings,
// the "today" query parameter) asks Clock::Now(). Tests and the command-line
// host's --now option fix it to a chosen moment.
//
// Threads: Now may be called from any thread at once. Fix and Release set
// the one clock of the whole process, seen by every thread (tests and zarel
// browse --now fix it; nothing in the web host does).
#ifndef ZAREL_BASE_CLOCK_H_
#define ZAREL_BASE_CLOCK_H_

#include <optional>

#include "zarel/base/variant.h"

namespace zarel {

class Clock {
 public:
  // The fixed moment when one is set, otherwise the local date and time.
  static Date Now();
  // Fixes the clock until Release(); safe to call from any thread.
  static void Fix(Date moment);
  static void Release();
};

// Fixes the clock for the life of the object (for tests).
class FixedClock {
 public:
  explicit FixedClock(Date moment) { Clock::Fix(moment); }
  ~FixedClock() { Clock::Release(); }
  FixedClock(const FixedClock&) = delete;
  FixedClock& operator=(const FixedClock&) = delete;
};

}  // namespace zarel

#endif  // ZAREL_BASE_CLOCK_H_
