#include "toolkit/win_timer.h"

#include <map>

namespace tk {

namespace {
// Thread timers carry no pointer of ours: the id finds the timer.
std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> timers;
  return timers;
}
}  // namespace

TTimer::TTimer(unsigned intervalMs, bool enabled) : interval_(intervalMs), enabled_(enabled) { Restart(); }

TTimer::~TTimer() {
  enabled_ = false;
  Restart();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

void TTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Restart();
}

void TTimer::Restart() {
  if (id_) {
    KillTimer(nullptr, id_);
    Timers().erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0) {
    id_ = SetTimer(nullptr, 0, interval_, TimerProc);
    if (id_) Timers()[id_] = this;
  }
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it == Timers().end()) return;
  TTimer* t = it->second;
  if (t->enabled_ && t->OnTimer) t->OnTimer();  // the handler may disable or destroy it
}

}  // namespace tk
