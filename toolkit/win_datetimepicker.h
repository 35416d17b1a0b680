#pragma once
// The Win32 date and time picker. A date picker (the default) drops down a
// calendar; the declaration bit dtkTime makes a time picker with arrows. The
// value is a toolkit date-time (toolkit/datetime.h): a date picker keeps the time
// part it was given and a time picker the date part.
#include <functional>
#include <string>

#include "toolkit/datetime.h"
#include "toolkit/win_controls.h"

namespace tk {

// TDateTimePicker declaration bits (the high bits of TControlDecl::Style).
constexpr unsigned dtkTime = 1u << 8;  // a time picker instead of a date picker

class TDateTimePicker : public TControl {
 public:
  TDateTimePicker();
  bool IsTimePicker() const { return (style_ & dtkTime) != 0; }
  TDateTime DateTime() const;
  // Values outside the years the system can show are not taken.
  void SetDateTime(TDateTime value);
  // The earliest and latest values the user can pick (0 and 0: no limits).
  void SetRange(TDateTime minDate, TDateTime maxDate);
  TDateTime Date() const;  // the whole days of the value
  TDateTime Time() const;  // its time of day
  // The display format in the control's own letters ("dd/MM/yyyy", "HH:mm");
  // empty: the system's short date or time.
  void SetFormat(const std::string& format);
  // The user changed the value (SetDateTime fires nothing).
  std::function<void()> OnChange;

 protected:
  void ApplyKindDecl(const TControlDecl& decl) override { if (decl.OnChange) OnChange = decl.OnChange; }
  void CreateParams(TCreateParams& params) override;
  void AfterCreate() override;
  void BeforeDestroy() override;
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  TDateTime value_;
  std::string format_;
  TDateTime min_ = 0, max_ = 0;
  bool setting_ = false;
};

}  // namespace tk
