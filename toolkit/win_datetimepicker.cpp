#include "toolkit/win_datetimepicker.h"

#include <cmath>

#include "toolkit/strings.h"

namespace tk {

TDateTimePicker::TDateTimePicker() : value_(Now()) { tabStop_ = true; }

void TDateTimePicker::CreateParams(TCreateParams& p) {
  p.ClassName = DATETIMEPICK_CLASSW;
  p.Style |= IsTimePicker() ? (DTS_TIMEFORMAT | DTS_UPDOWN) : DTS_SHORTDATEFORMAT;
}

void TDateTimePicker::AfterCreate() {
  if (!format_.empty()) SendMessageW(Handle(), DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(Widen(format_).c_str()));
  if (min_ != 0 || max_ != 0) SetRange(min_, max_);
  SetDateTime(value_);
}

void TDateTimePicker::SetRange(TDateTime minDate, TDateTime maxDate) {
  min_ = minDate;
  max_ = maxDate;
  if (!Handle()) return;
  SYSTEMTIME range[2]{};
  DWORD flags = 0;
  if (minDate != 0 && DateTimeToSystemTime(minDate, &range[0])) flags |= GDTR_MIN;
  if (maxDate != 0 && DateTimeToSystemTime(maxDate, &range[1])) flags |= GDTR_MAX;
  SendMessageW(Handle(), DTM_SETRANGE, flags, reinterpret_cast<LPARAM>(range));
}

void TDateTimePicker::BeforeDestroy() { value_ = DateTime(); }

TDateTime TDateTimePicker::DateTime() const {
  if (!Handle()) return value_;
  SYSTEMTIME st{};
  if (SendMessageW(Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID) return value_;
  return SystemTimeToDateTime(st);
}

void TDateTimePicker::SetDateTime(TDateTime value) {
  SYSTEMTIME st{};
  if (!DateTimeToSystemTime(value, &st)) return;
  value_ = value;
  if (!Handle()) return;
  setting_ = true;
  SendMessageW(Handle(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  setting_ = false;
}

TDateTime TDateTimePicker::Date() const { return std::trunc(DateTime()); }

TDateTime TDateTimePicker::Time() const {
  const TDateTime v = DateTime();
  return v - std::trunc(v);
}

void TDateTimePicker::SetFormat(const std::string& format) {
  format_ = format;
  if (Handle())
    SendMessageW(Handle(), DTM_SETFORMATW, 0, format.empty() ? 0 : reinterpret_cast<LPARAM>(Widen(format).c_str()));
}

bool TDateTimePicker::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == DTN_DATETIMECHANGE) {
    if (!setting_) {
      value_ = DateTime();
      if (OnChange) OnChange();
    }
    *result = 0;
    return true;
  }
  return TControl::HandleParentMessage(msg, wp, lp, result);
}

}  // namespace tk
