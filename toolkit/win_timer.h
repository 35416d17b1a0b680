#pragma once
// A timer of the user-interface thread: OnTimer runs from the message loop (also
// inside modal loops) every Interval milliseconds while Enabled.
#include <windows.h>

#include <functional>

namespace tk {

class TTimer {
 public:
  TTimer() = default;
  explicit TTimer(unsigned intervalMs, bool enabled = false);
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  unsigned Interval() const { return interval_; }
  // A new interval restarts a running timer; 0 stops ticking.
  void SetInterval(unsigned ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);  // a disabled timer starts counting anew when enabled
  std::function<void()> OnTimer;

 private:
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void Restart();
  unsigned interval_ = 1000;
  bool enabled_ = false;
  UINT_PTR id_ = 0;
};

}  // namespace tk
