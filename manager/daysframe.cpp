#include "manager/daysframe.h"

namespace {

struct TPreset {
  const char* Text;
  const char* Mask;  // nullptr: "Custom" sets nothing
};
constexpr TPreset Presets[] = {
    {"All 7 days", "1111111"},     {"Monday only", "1000000"},   {"Tuesday only", "0100000"},
    {"Wednesday only", "0010000"}, {"Thursday only", "0001000"}, {"Friday only", "0000100"},
    {"Saturday only", "0000010"},  {"Sunday only", "0000001"},   {"Custom", nullptr},
};

}  // namespace

TDaysFrame::TDaysFrame() : TFrame(L"TDaysFrame") {
  Declare({
      {.Control = gboxDays, .Name = "gboxDays", .Caption = " Days ", .Bounds = {0, 0, 150, 184}},
      {.Control = cbDays, .Name = "cbDays", .Caption = "", .Bounds = {10, 20, 130, 21}, .Style = tk::cbList,
       .Parent = &gboxDays},
      {.Control = chklbDays, .Name = "chklbDays", .Caption = "", .Bounds = {10, 50, 130, 124},
       .Parent = &gboxDays},
  });
  std::vector<std::string> texts;
  for (const TPreset& p : Presets) texts.push_back(p.Text);
  cbDays.SetItems(texts);
  cbDays.SetDropDownCount(static_cast<int>(texts.size()));
  chklbDays.SetItems({"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"});
  cbDays.OnChange = [this] { cbDaysChange(); };
  chklbDays.OnClickCheck = [this](int) { chklbDaysClickCheck(); };
  chklbDays.OnClick = [this] { chklbDaysClick(); };
  // Rows of the list never stay selected.
  chklbDays.OnChanging = [](const tk::TListChange& ch, bool& allow) {
    if (ch.SelectChanged() && (ch.NewState & LVIS_SELECTED)) allow = false;
  };
}

std::string TDaysFrame::GetDays() const {
  std::string mask;
  for (int i = 0; i < 7; ++i) mask += chklbDays.Checked(i) ? '1' : '0';
  return mask;
}

void TDaysFrame::SetChecksFromMask(const std::string& mask) {
  chklbDays.SetItemIndex(-1);
  if (mask.size() < 7) return;
  for (int i = 0; i < 7; ++i) {
    // Any other character leaves that day as it was.
    if (mask[static_cast<size_t>(i)] == '0') chklbDays.SetChecked(i, false);
    if (mask[static_cast<size_t>(i)] == '1') chklbDays.SetChecked(i, true);
  }
}

void TDaysFrame::SelectPreset() {
  const std::string mask = GetDays();
  int index = CustomPreset;
  for (int i = 0; i < CustomPreset; ++i)
    if (mask == Presets[i].Mask) index = i;
  cbDays.SetItemIndex(index);
}

void TDaysFrame::SetDays(const std::string& mask) {
  SetChecksFromMask(mask);
  SelectPreset();
}

void TDaysFrame::cbDaysChange() {
  const int index = cbDays.ItemIndex();
  if (index >= 0 && index < CustomPreset) SetChecksFromMask(Presets[index].Mask);
}

void TDaysFrame::chklbDaysClickCheck() { SelectPreset(); }

void TDaysFrame::chklbDaysClick() { chklbDays.SetItemIndex(-1); }
