#pragma once
// The date format dialog of the profile wizard: how often the zip name changes, the
// year and month forms, the separator, the order of the parts and whether the date
// goes before the name, with a preview of today's name.
#include <string>

#include "toolkit/datetime.h"
#include "toolkit/win_form.h"
#include "toolkit/win_groupbox.h"

class TDateFormatForm : public tk::TForm {
 public:
  TDateFormatForm();

  tk::TRadioGroup rgFNChanges, rgYear, rgMonth, rgSeparator;
  tk::TRadioGroup rgMonthFormat, rgWeekFormat, rgDayFormat;
  tk::TCheckBox chkDatePrecedes;
  tk::TLabel lblPreview, StaticText1, lblWeekNote;
  tk::TButton btnOK, btnCancel;

  // Sets every control from format (the defaults when it is empty) and keeps the
  // zip name without extension for the preview ("filename" when empty).
  void InitFromDateFormat(const std::string& format, const std::string& baseName);
  // The format the controls describe.
  std::string ComposeDateFormat() const;

  // The day the preview shows; 0 is today.
  tk::TDateTime PreviewDay = 0;
  void UpdatePreview();

  void FormCreate();
  void FormShow();
  void rgFNChangesClick();

 private:
  char SeparatorChar() const;
  tk::TRadioGroup& OrderGroup();
  const tk::TRadioGroup& OrderGroup() const;
  std::string baseName_ = "filename";
};
