#include "runner/profilechoice.h"

#include <algorithm>

#include "runner/runstate.h"
#include "settings/fernoini.h"
#include "settings/qbautoruns.h"
#include "toolkit/datetime.h"
#include "toolkit/stringlist.h"

namespace {
constexpr int kListTop = 40, kListHeight = 160;
constexpr int kNumberedRows = 9;  // the digit keys 1 to 9
}  // namespace

TAskForm::TAskForm(const std::vector<std::string>& profiles, const std::string& question,
                   const std::string& deselect, const std::string& mediaInserted)
    : TForm(L"TAskForm"),
      Timer1(500),
      profiles_(profiles),
      question_(question),
      deselect_(deselect),
      mediaInserted_(mediaInserted) {
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  KeyPreview = true;
  SetClientSize(330, 268);
  SetFormFont(tk::TFontSpec{});
  Declare({
      {.Control = lblMsg, .Name = "lblMsg", .Caption = "", .Bounds = {8, 8, 314, 28},
       .Style = tk::lblFixedSize | tk::lblWordWrap | tk::lblNoPrefix},
      {.Control = Memo1, .Name = "Memo1", .Caption = "", .Bounds = {8, kListTop, 16, kListHeight}},
      {.Control = lvProfs, .Name = "lvProfs", .Caption = "", .Bounds = {26, kListTop, 296, kListHeight},
       .Style = tk::lvCheckBoxes | tk::lvRowSelect | tk::lvNoColumnClick},
      {.Control = btnSelectAll, .Name = "btnSelectAll", .Caption = "SelectAll (Ctrl A)",
       .Bounds = {26, 206, 110, 23}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {166, 206, 75, 23},
       .Style = tk::btnDefault, .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {247, 206, 75, 23},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = Label1, .Name = "Label1", .Caption = "You can press", .Bounds = {8, 236, 0, 0}},
      {.Control = Label2, .Name = "Label2", .Caption = "1 to select or deselect the 1st profile",
       .Bounds = {84, 236, 0, 0}},
      {.Control = Label3, .Name = "Label3", .Caption = "Ctrl+1 to select only the 1st profile",
       .Bounds = {84, 251, 0, 0}},
  });
  tk::TFontSpec numbers;
  numbers.Name = "Courier New";
  numbers.Bold = true;
  Memo1.SetFont(numbers);
  lvProfs.AddColumn("Profiles", 270);
  // Rows are only ticked, never selected.
  lvProfs.OnChanging = [](const tk::TListChange& change, bool& allow) {
    if (change.SelectChanged() && !change.CheckChanged() && (change.NewState & LVIS_SELECTED)) allow = false;
  };
  lvProfs.OnChange = [this](const tk::TListChange&) { UpdateOK(); };
  // Scrolled rows take their numbers with them.
  lvProfs.OnCustomDraw = [this](NMLVCUSTOMDRAW& draw, LRESULT*) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT && ListView_GetTopIndex(lvProfs.Handle()) != numberedTop_)
      Memo1.Invalidate();
    return false;
  };
  Memo1.OnPaint = [this](tk::TCanvas& canvas) { Memo1Paint(canvas); };
  btnSelectAll.OnClick = [this] {
    for (int i = 0; i < lvProfs.Count(); ++i) lvProfs.SetChecked(i, true);
  };
  btnOK.OnClick = [this] { btnOKClick(); };
  OnKeyDown = [this](WORD& key, tk::TShiftState shift) { FormKeyDown(key, shift); };
  Timer1.OnTimer = [this] { BringToTopNoActivate(); };
  OnCreate = [this] { FormCreate(); };
}

TAskForm::~TAskForm() { Timer1.SetEnabled(false); }

void TAskForm::FormCreate() {
  SetFormStyle(tk::TFormStyle::fsStayOnTop);
  SetCaption("Quillbank 2.0");
  lblMsg.SetCaption(question_);
  const bool remember = TFernoIni().GetRememberAutoRunSelection();
  tk::TStringList deselected;
  deselected.SetCommaText(deselect_);
  for (const std::string& name : profiles_) {
    const int row = lvProfs.AddItem(name);
    lvProfs.SetChecked(row, !remember || deselected.IndexOf(name) < 0);
  }
  UpdateOK();
  Timer1.SetEnabled(true);
}

void TAskForm::Memo1Paint(tk::TCanvas& canvas) {
  const HWND list = lvProfs.Handle();
  numberedTop_ = ListView_GetTopIndex(list);
  // Only rows the list shows below its header get a number.
  RECT shown{};
  GetClientRect(list, &shown);
  if (HWND header = ListView_GetHeader(list); header && IsWindowVisible(header)) {
    RECT h{};
    GetWindowRect(header, &h);
    shown.top = h.bottom - h.top;
  }
  RECT column{};
  GetClientRect(Memo1.Handle(), &column);
  canvas.Brush.Style = tk::TBrushStyle::bsClear;
  for (int row = 0; row < std::min(lvProfs.Count(), kNumberedRows); ++row) {
    RECT r{};
    if (!ListView_GetItemRect(list, row, &r, LVIR_BOUNDS) || r.top < shown.top || r.bottom > shown.bottom) continue;
    MapWindowPoints(list, Memo1.Handle(), reinterpret_cast<POINT*>(&r), 2);
    RECT cell{0, r.top, column.right, r.bottom};
    canvas.DrawText(std::to_string(row + 1), cell, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  }
}

void TAskForm::UpdateOK() { btnOK.SetEnabled(lvProfs.CheckedCount() > 0); }

void TAskForm::FormKeyDown(WORD& key, tk::TShiftState shift) {
  const bool ctrl = (shift & tk::ssCtrl) != 0;
  if (ctrl && key == 'A') {
    btnSelectAll.Click();
    key = 0;
    return;
  }
  int n = 0;
  if (key >= '1' && key <= '9')
    n = key - '0';
  else if (key >= VK_NUMPAD1 && key <= VK_NUMPAD9)
    n = key - VK_NUMPAD0;
  if (n == 0) return;
  key = 0;
  if (n > lvProfs.Count()) return;
  const int row = n - 1;
  if (ctrl) {
    for (int i = 0; i < lvProfs.Count(); ++i) lvProfs.SetChecked(i, i == row);
  } else {
    lvProfs.SetChecked(row, !lvProfs.Checked(row));
  }
}

std::vector<std::string> TAskForm::TickedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < lvProfs.Count(); ++i)
    if (lvProfs.Checked(i)) names.push_back(lvProfs.ItemCaption(i));
  return names;
}

std::vector<std::string> TAskForm::UntickedNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < lvProfs.Count(); ++i)
    if (!lvProfs.Checked(i)) names.push_back(lvProfs.ItemCaption(i));
  return names;
}

void TAskForm::btnOKClick() {
  Runner.ProfileSelection = std::make_unique<tk::TStringList>(TickedNames());
  RememberDeselection();
}

void TAskForm::RememberDeselection() {
  TQbAutoRuns runs;  // loaded by its constructor
  const int today = tk::DayOfWeek(tk::Now());  // 1 = Sunday
  for (int i = 0; i < runs.GetCount(); ++i) {
    TQbAutoRun* run = runs.GetItem(i);
    const std::string& days = run->Days;  // Monday first
    if (days.size() < 7) continue;
    const std::string sundayFirst = days.substr(6, 1) + days.substr(0, 6);
    if (sundayFirst[static_cast<size_t>(today - 1)] == '1' && IsInCommaList(mediaInserted_, run->Media)) {
      run->Deselected = tk::ToCommaText(UntickedNames());
      break;
    }
  }
  runs.SaveAll();
}

bool ShowProfileChoice() {
  std::vector<std::string> profiles;
  for (int i = 2; i <= Runner.ArgCount(); ++i) profiles.push_back(Runner.Arg(i));
  TAskForm form(profiles, Runner.HandOff.sMsgBeforeAutoRun, Runner.HandOff.sProfilesToDeselect,
                Runner.HandOff.sMediaInserted);
  return form.ShowModal() == tk::mrOk;
}
