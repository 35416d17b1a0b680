#include "manager/dateformat.h"

#include <cmath>

#include "manager/formfont.h"
#include "settings/qbprofile.h"

namespace {

enum { kMonthly = 0, kWeekly = 1, kDaily = 2 };

const char kSeparators[] = {'-', ' ', '_'};
const std::vector<std::string> kMonthOrders = {"my", "ym"};
const std::vector<std::string> kWeekOrders = {"wmy", "wym", "mwy", "myw", "ywm", "ymw"};
const std::vector<std::string> kDayOrders = {"dmy", "dym", "mdy", "myd", "ydm", "ymd"};

bool Has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// The order index of a weekly or daily format from where its month and year stand
// between the separators.
int ThreePartOrder(const std::string& f, const std::string& s) {
  const bool monthMiddle = Has(f, s + "mm" + s) || Has(f, s + "mmm" + s);
  const bool yearMiddle = Has(f, s + "yy" + s) || Has(f, s + "yyyy" + s);
  const bool monthLast = !monthMiddle && (Has(f, s + "mm") || Has(f, s + "mmm"));
  const bool yearLast = !yearMiddle && (Has(f, s + "yy") || Has(f, s + "yyyy"));
  int index = 0;
  if (monthMiddle) index = yearLast ? 0 : 5;
  if (yearMiddle) index = monthLast ? 1 : 3;
  if (yearLast && !monthMiddle) index = 2;
  if (monthLast && !yearMiddle) index = 4;
  return index;
}

}  // namespace

TDateFormatForm::TDateFormatForm() : TForm(L"TDateFormatForm") {
  SetCaption("Date format");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(440, 290);
  Declare({
      {.Control = rgFNChanges, .Name = "rgFNChanges", .Caption = " Zip file name changes ", .Bounds = {8, 8, 140, 81}},
      {.Control = rgYear, .Name = "rgYear", .Caption = " Year ", .Bounds = {156, 8, 80, 81}},
      {.Control = rgMonth, .Name = "rgMonth", .Caption = " Month ", .Bounds = {244, 8, 80, 81}},
      {.Control = rgSeparator, .Name = "rgSeparator", .Caption = " Separator ", .Bounds = {332, 8, 100, 81}},
      {.Control = rgWeekFormat, .Name = "rgWeekFormat", .Caption = " Format ", .Bounds = {8, 96, 228, 81}},
      {.Control = rgMonthFormat, .Name = "rgMonthFormat", .Caption = " Format ", .Bounds = {8, 184, 228, 81}},
      {.Control = rgDayFormat, .Name = "rgDayFormat", .Caption = " Format ", .Bounds = {244, 184, 228, 81}},
      {.Control = chkDatePrecedes, .Name = "chkDatePrecedes", .Caption = "Date precedes file name",
       .Bounds = {244, 100, 188, 17}},
      {.Control = lblPreview, .Name = "lblPreview", .Caption = "Preview", .Bounds = {8, 184, 0, 0}},
      {.Control = StaticText1, .Name = "StaticText1", .Caption = "", .Bounds = {8, 200, 424, 19},
       .Style = tk::lblFixedSize | tk::lblSunken | tk::lblNoPrefix},
      {.Control = lblWeekNote, .Name = "lblWeekNote", .Caption = "Week number based on date.  i.e, dates 1 to 7 is week1",
       .Bounds = {8, 228, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {275, 256, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {357, 256, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  rgFNChanges.SetItems({"Monthly", "Weekly", "Daily"});
  rgYear.SetItems({"yyyy", "yy"});
  rgMonth.SetItems({"mmm", "mm"});
  rgSeparator.SetItems({"hyphen", "space", "underscore"});
  rgMonthFormat.SetItems(kMonthOrders);
  rgWeekFormat.SetItems(kWeekOrders);
  rgWeekFormat.SetColumns(2);
  rgDayFormat.SetItems(kDayOrders);
  rgDayFormat.SetColumns(2);

  for (tk::TRadioGroup* g : {&rgYear, &rgMonth, &rgSeparator, &rgMonthFormat, &rgWeekFormat, &rgDayFormat})
    g->OnClick = [this] { UpdatePreview(); };
  rgFNChanges.OnClick = [this] { rgFNChangesClick(); };
  chkDatePrecedes.OnClick = [this] { UpdatePreview(); };
  OnCreate = [this] { FormCreate(); };
  OnShow = [this] { FormShow(); };
}

// The order groups share one place; only the current kind's is shown.
void TDateFormatForm::FormCreate() {
  rgDayFormat.SetBounds(rgWeekFormat.Bounds());
  rgMonthFormat.SetBounds(rgWeekFormat.Bounds());
}

// The focus goes to the kind's chosen button, as it would when tabbing into the group.
void TDateFormatForm::FormShow() {
  const int kind = rgFNChanges.ItemIndex();
  SetActiveControl(&rgFNChanges.Button(kind < 0 ? 0 : kind));
}

char TDateFormatForm::SeparatorChar() const {
  const int i = rgSeparator.ItemIndex();
  return i >= 0 && i < 3 ? kSeparators[i] : '-';
}

tk::TRadioGroup& TDateFormatForm::OrderGroup() {
  return const_cast<tk::TRadioGroup&>(static_cast<const TDateFormatForm*>(this)->OrderGroup());
}

const tk::TRadioGroup& TDateFormatForm::OrderGroup() const {
  switch (rgFNChanges.ItemIndex()) {
    case kWeekly: return rgWeekFormat;
    case kDaily: return rgDayFormat;
    default: return rgMonthFormat;
  }
}

std::string TDateFormatForm::ComposeDateFormat() const {
  const tk::TRadioGroup& group = OrderGroup();
  const int index = group.ItemIndex();
  const std::string order = group.Item(index < 0 ? 0 : index);
  std::string format;
  for (char letter : order) {
    if (!format.empty()) format += SeparatorChar();
    switch (letter) {
      case 'y': format += rgYear.Item(rgYear.ItemIndex() < 0 ? 0 : rgYear.ItemIndex()); break;
      case 'm': format += rgMonth.Item(rgMonth.ItemIndex() < 0 ? 0 : rgMonth.ItemIndex()); break;
      case 'w': format += "ww"; break;
      case 'd': format += "dd"; break;
      default: break;
    }
  }
  if (chkDatePrecedes.Checked()) format += "*";
  return format;
}

void TDateFormatForm::UpdatePreview() {
  std::string format = ComposeDateFormat();
  const size_t star = format.find('*');
  const bool dateFirst = star != std::string::npos;
  if (dateFirst) format.erase(star, 1);
  const tk::TDateTime day = PreviewDay != 0 ? std::floor(PreviewDay) : tk::Date();
  const std::string text = ExpandWeekToken(tk::FormatDateTime(format, day), day);
  const char sep = SeparatorChar();
  StaticText1.SetCaption(" " + (dateFirst ? text + sep + baseName_ : baseName_ + sep + text) + ".zip");
}

void TDateFormatForm::rgFNChangesClick() {
  const int kind = rgFNChanges.ItemIndex();
  rgMonthFormat.SetVisible(kind != kWeekly && kind != kDaily);
  rgWeekFormat.SetVisible(kind == kWeekly);
  rgDayFormat.SetVisible(kind == kDaily);
  UpdatePreview();
}

void TDateFormatForm::InitFromDateFormat(const std::string& format, const std::string& baseName) {
  baseName_ = baseName.empty() ? "filename" : baseName;
  if (format.empty()) {
    InitFromDateFormat("yyyy mm ww", baseName_);
    InitFromDateFormat("yyyy mm dd", baseName_);
    InitFromDateFormat("yyyy mm*", baseName_);
    return;
  }
  const int kind = Has(format, "dd") ? kDaily : Has(format, "ww") ? kWeekly : kMonthly;
  rgFNChanges.SetItemIndex(kind);
  rgFNChangesClick();

  int sepIndex = -1;
  for (int i = 0; i < 3 && sepIndex < 0; ++i)
    if (format.find(kSeparators[i]) != std::string::npos) sepIndex = i;
  const std::string sep = sepIndex >= 0 ? std::string(1, kSeparators[sepIndex]) : std::string();

  if (kind == kMonthly) rgMonthFormat.SetItemIndex(Has(format, "mm" + sep) ? 0 : 1);
  else OrderGroup().SetItemIndex(ThreePartOrder(format, sep));

  if (sepIndex >= 0) rgSeparator.SetItemIndex(sepIndex);
  if (Has(format, "yyyy")) rgYear.SetItemIndex(0);
  else if (Has(format, "yy")) rgYear.SetItemIndex(1);
  if (Has(format, "mmm")) rgMonth.SetItemIndex(0);
  else if (Has(format, "mm")) rgMonth.SetItemIndex(1);
  chkDatePrecedes.SetChecked(Has(format, "*"));
  UpdatePreview();
}
