#include "toolkit/win_hovertips.h"

#include <memory>

#include "toolkit/win_app.h"
#include "toolkit/win_hint.h"
#include "toolkit/win_timer.h"
#include "toolkit/win_toolbar.h"

namespace tk {

namespace {

// The one tracker of the program: what the pointer rests on, and the hint showing.
struct THoverTracker {
  THintTiming Timing;
  int HookId = 0;
  TTimer Poll{100, false};
  std::unique_ptr<THintWindow> Window;
  const void* Target = nullptr;  // the control or tool button under the pointer
  std::string Text;
  ULONGLONG RestSince = 0, ShownAt = 0;
  bool Shown = false, Dismissed = false;
};

THoverTracker& Tracker() {
  static THoverTracker tracker;
  return tracker;
}

// The hint source under the screen point, with its text; nullptr when there is none.
const void* HintTargetAt(POINT pt, std::string& text) {
  HWND hwnd = WindowFromPoint(pt);
  for (HWND w = hwnd; w; w = GetParent(w)) {
    TControl* c = TControl::FromHandle(w);
    if (!c) continue;
    if (auto* bar = dynamic_cast<TToolBar*>(c)) {
      POINT client = pt;
      ScreenToClient(bar->Handle(), &client);
      TToolButton* b = bar->ButtonAt(client);
      if (b && !b->Hint.empty()) {
        text = b->Hint;
        return b;
      }
      if (!b) return nullptr;
    }
    if (dynamic_cast<THintWindow*>(c)) return nullptr;
    if (!c->Hint().empty()) {
      text = c->Hint();
      return c;
    }
  }
  return nullptr;
}

void HideHint() {
  THoverTracker& t = Tracker();
  if (t.Window) t.Window->ReleaseHint();
  t.Shown = false;
}

void ShowHint(POINT pt) {
  THoverTracker& t = Tracker();
  if (!t.Window) t.Window = CreateHintWindow();
  const int d = ScreenPixelsPerInch();
  TBounds r = t.Window->CalcHintRect(300, t.Text);
  r.Left = ScaleFromDpi(pt.x, d);
  r.Top = ScaleFromDpi(pt.y, d) + 20;
  t.Window->ActivateHint(r, t.Text);
  t.Shown = true;
  t.ShownAt = GetTickCount64();
}

// Every tick: follow the pointer, show after the pause, hide after the hide pause.
void Tick() {
  THoverTracker& t = Tracker();
  POINT pt;
  GetCursorPos(&pt);
  std::string text;
  const void* target = GetActiveWindow() ? HintTargetAt(pt, text) : nullptr;
  const ULONGLONG now = GetTickCount64();
  if (target != t.Target || text != t.Text) {
    HideHint();
    t.Target = target;
    t.Text = text;
    t.RestSince = now;
    t.Dismissed = false;
  }
  if (!t.Target || t.Dismissed) return;
  // While a menu is open (the one a tool button drops down, say) no hint shows over it.
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(GetCurrentThreadId(), &gui) && (gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE))) {
    HideHint();
    t.Dismissed = true;
    return;
  }
  if (!t.Shown && now - t.RestSince >= t.Timing.HintPause) ShowHint(pt);
  else if (t.Shown && now - t.ShownAt >= t.Timing.HintHidePause) {
    HideHint();
    t.Dismissed = true;  // not again until the pointer moves to another target
  }
}

}  // namespace

void EnableHoverHints(const THintTiming& timing) {
  THoverTracker& t = Tracker();
  t.Timing = timing;
  if (!t.HookId)
    t.HookId = Application.AddMessageHook([](MSG& msg) {
      THoverTracker& tr = Tracker();
      switch (msg.message) {
        case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_KEYDOWN: case WM_SYSKEYDOWN:
          if (tr.Shown) HideHint();
          tr.Dismissed = true;
          break;
        default: break;
      }
      return false;
    });
  t.Poll.OnTimer = [] { Tick(); };
  t.Poll.SetEnabled(true);
}

const THintTiming& HoverHintTiming() { return Tracker().Timing; }

std::string ShownHoverHint() { return Tracker().Shown ? Tracker().Text : std::string(); }

void CancelHoverHint() {
  HideHint();
  Tracker().Dismissed = true;
}

}  // namespace tk
