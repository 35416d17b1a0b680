#include "toolkit/win_trackbar.h"

#include <algorithm>

namespace tk {

TTrackBar::TTrackBar() { tabStop_ = true; }

void TTrackBar::CreateParams(TCreateParams& p) {
  p.ClassName = TRACKBAR_CLASSW;
  p.Style |= TBS_HORZ | ((style_ & tbNoTicks) ? TBS_NOTICKS : TBS_AUTOTICKS);
  if (style_ & tbBothSides) p.Style |= TBS_BOTH;
  if (thumbLength_ > 0) p.Style |= TBS_FIXEDLENGTH;
  if (selEnd_ > selStart_) p.Style |= TBS_ENABLESELRANGE;
}

void TTrackBar::AfterCreate() {
  SendMessageW(Handle(), TBM_SETRANGEMIN, FALSE, min_);
  SendMessageW(Handle(), TBM_SETRANGEMAX, FALSE, max_);
  SendMessageW(Handle(), TBM_SETTICFREQ, frequency_, 0);
  if (thumbLength_ > 0) SendMessageW(Handle(), TBM_SETTHUMBLENGTH, ScaleToDpi(thumbLength_, Dpi()), 0);
  SendMessageW(Handle(), TBM_SETPOS, TRUE, position_);
  if (selEnd_ > selStart_) SetSelection(selStart_, selEnd_);
}

void TTrackBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  if (Handle()) {
    SendMessageW(Handle(), TBM_SETRANGEMIN, FALSE, min_);
    SendMessageW(Handle(), TBM_SETRANGEMAX, TRUE, max_);
  }
  SetPosition(position_);
}

void TTrackBar::SetPosition(int position) {
  position = std::clamp(position, min_, max_);
  if (Handle()) SendMessageW(Handle(), TBM_SETPOS, TRUE, position);
  if (position == position_) return;
  position_ = position;
  if (OnChange) OnChange();
}

void TTrackBar::SetFrequency(int frequency) {
  frequency_ = frequency;
  if (Handle()) SendMessageW(Handle(), TBM_SETTICFREQ, frequency, 0);
}

void TTrackBar::SetThumbLength(int pixels) {
  thumbLength_ = pixels;
  if (Handle()) {
    SetStyleBit(TBS_FIXEDLENGTH, pixels > 0);
    SendMessageW(Handle(), TBM_SETTHUMBLENGTH, ScaleToDpi(pixels, Dpi()), 0);
  }
}

void TTrackBar::SetSelection(int start, int end) {
  selStart_ = start;
  selEnd_ = end;
  if (!Handle()) return;
  SetStyleBit(TBS_ENABLESELRANGE, end > start);
  SendMessageW(Handle(), TBM_SETSELSTART, FALSE, start);
  SendMessageW(Handle(), TBM_SETSELEND, TRUE, end);
}

int TTrackBar::SelStart() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), TBM_GETSELSTART, 0, 0)) : selStart_;
}

int TTrackBar::SelEnd() const {
  return Handle() ? static_cast<int>(SendMessageW(Handle(), TBM_GETSELEND, 0, 0)) : selEnd_;
}

bool TTrackBar::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_HSCROLL || msg == WM_VSCROLL) {
    int pos = static_cast<int>(SendMessageW(Handle(), TBM_GETPOS, 0, 0));
    if (pos != position_) {
      position_ = pos;
      if (OnChange) OnChange();
    }
    *result = 0;
    return true;
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

}  // namespace tk
