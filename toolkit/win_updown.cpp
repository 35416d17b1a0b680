#include "toolkit/win_updown.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace tk {

namespace {
// The edit's text as a number; false when it holds none.
bool ParseNumber(const std::string& text, long long* value) {
  std::string t;
  for (char c : text)
    if (c != ' ' && c != '\t') t += c;
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(t.c_str(), &end, 10);
  if (errno != 0 || !end || *end != '\0') return false;
  *value = v;
  return true;
}
}  // namespace

TUpDown::TUpDown() = default;

void TUpDown::CreateParams(TCreateParams& p) {
  p.ClassName = UPDOWN_CLASSW;
  p.Style |= UDS_SETBUDDYINT | UDS_NOTHOUSANDS | UDS_ARROWKEYS | UDS_ALIGNRIGHT;
}

void TUpDown::AfterCreate() {
  boundBuddy_ = nullptr;
  SendMessageW(Handle(), UDM_SETRANGE32, min_, max_);
  UDACCEL accel{0, static_cast<UINT>(increment_)};
  SendMessageW(Handle(), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  BindBuddy();
  SendMessageW(Handle(), UDM_SETPOS32, 0, position_);
}

void TUpDown::BeforeDestroy() {
  position_ = Position();
  boundBuddy_ = nullptr;
}

void TUpDown::BindBuddy() {
  if (!Handle() || !associate_ || !associate_->Handle() || boundBuddy_ == associate_->Handle()) return;
  boundBuddy_ = associate_->Handle();
  SendMessageW(Handle(), UDM_SETBUDDY, reinterpret_cast<WPARAM>(boundBuddy_), 0);
  SendMessageW(Handle(), UDM_SETPOS32, 0, position_);
}

void TUpDown::SetAssociate(TEdit* edit) {
  associate_ = edit;
  boundBuddy_ = nullptr;
  if (!edit && Handle()) SendMessageW(Handle(), UDM_SETBUDDY, 0, 0);
  BindBuddy();
}

void TUpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  if (Handle()) SendMessageW(Handle(), UDM_SETRANGE32, min_, max_);
  const int p = Position();
  if (p != position_ || (associate_ && associate_->Handle() && associate_->Text() != std::to_string(p))) {
    if (associate_ && associate_->Handle()) SetPosition(p);
    else position_ = p;
  }
}

int TUpDown::Position() const {
  long long v = position_;
  if (associate_ && associate_->Handle() && !ParseNumber(associate_->Text(), &v)) v = position_;
  return static_cast<int>(std::clamp<long long>(v, min_, max_));
}

void TUpDown::SetPosition(int position) {
  position_ = std::clamp(position, min_, max_);
  BindBuddy();
  if (Handle()) SendMessageW(Handle(), UDM_SETPOS32, 0, position_);
  // The edit shows the number even when the up-down has no window (yet) or the
  // system did not write it.
  if (associate_ && associate_->Text() != std::to_string(position_)) associate_->SetText(std::to_string(position_));
  if (OnChange) OnChange();
}

void TUpDown::SetIncrement(int increment) {
  increment_ = std::max(1, increment);
  if (Handle()) {
    UDACCEL accel{0, static_cast<UINT>(increment_)};
    SendMessageW(Handle(), UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  }
}

bool TUpDown::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if ((msg == WM_VSCROLL || msg == WM_HSCROLL) && LOWORD(wp) == SB_THUMBPOSITION) {
    BOOL failed = FALSE;
    const int pos = static_cast<int>(SendMessageW(Handle(), UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
    position_ = std::clamp(pos, min_, max_);
    if (OnChange) OnChange();
    *result = 0;
    return true;
  }
  if (msg == WM_VSCROLL || msg == WM_HSCROLL) {
    *result = 0;
    return true;
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

}  // namespace tk
