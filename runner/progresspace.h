#pragma once
// The pace of the progress window while the zip library works. The library calls back
// once per file or chunk, thousands of times a second on small files, while a person
// reads a text a few times a second and Cancel needs an answer within a fraction of a
// second. So every callback only leaves its state with the window; the texts and bars
// are shown from it at most every ShowMs, and window messages are pumped at most every
// PumpMs, whatever the number of files.
#include <cstdint>

class TProgressPace {
 public:
  static constexpr uint64_t ShowMs = 100;
  static constexpr uint64_t PumpMs = 40;

  // True when the display (or the pump) is due at now, a tick count in milliseconds;
  // it is then not due again for its interval.
  bool ShowDue(uint64_t now) { return Due(now, nextShow_, ShowMs); }
  bool PumpDue(uint64_t now) { return Due(now, nextPump_, PumpMs); }
  // Both are due at the next call (a new target starts).
  void Restart() { nextShow_ = nextPump_ = 0; }

 private:
  static bool Due(uint64_t now, uint64_t& next, uint64_t interval) {
    if (now < next) return false;
    next = now + interval;
    return true;
  }
  uint64_t nextShow_ = 0, nextPump_ = 0;
};
