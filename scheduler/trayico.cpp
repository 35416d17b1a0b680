#include "scheduler/trayico.h"

#include "scheduler/schlogic.h"
#include "toolkit/strings.h"

namespace {

std::wstring BoundedTip(const std::string& tip) {
  std::wstring wide = tk::Widen(tip);
  if (wide.size() > TTrayIco::MaxTipLength) wide.resize(TTrayIco::MaxTipLength);
  return wide;
}

}  // namespace

TTrayIco::TTrayIco(HWND window, const std::string& tip, HICON icon) {
  // The size of the record as this build lays it out: on x64 it is not the 32-bit 88.
  data_.cbSize = sizeof(NOTIFYICONDATAW);
  data_.hWnd = window;
  data_.uID = 1;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = WM_QBSCH_TRAYNOTIFY;
  data_.hIcon = icon;
  const std::wstring wide = BoundedTip(tip);
  wide.copy(data_.szTip, wide.size());
  data_.szTip[wide.size()] = 0;
  Notify(NIM_ADD);
}

TTrayIco::~TTrayIco() { Notify(NIM_DELETE); }

void TTrayIco::SetIcon(HICON icon) {
  if (icon == data_.hIcon) return;
  data_.hIcon = icon;
  Notify(NIM_MODIFY);
}

void TTrayIco::SetTip(const std::string& tip) {
  const std::wstring wide = tk::Widen(tip);
  if (wide.size() > MaxTipLength || wide == data_.szTip) return;
  wide.copy(data_.szTip, wide.size());
  data_.szTip[wide.size()] = 0;
  Notify(NIM_MODIFY);
}

std::string TTrayIco::Tip() const { return tk::Narrow(data_.szTip); }

void TTrayIco::Notify(DWORD message) {
  ++shellCalls_;
  Shell_NotifyIconW(message, &data_);
  const char* op = message == NIM_ADD ? "add" : message == NIM_DELETE ? "delete" : "modify";
  SchTrace(std::string("tray ") + op + " " + Tip());
}
