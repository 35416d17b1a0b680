#include "manager/autoruns.h"

#include <windows.h>

#include "manager/entrykeys.h"
#include "manager/formfont.h"
#include "manager/mainservices.h"
#include "manager/profilechecks.h"
#include "settings/fernoglobal.h"
#include "settings/fernoini.h"
#include "settings/vglobal.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"
#include "toolkit/win_drawnimages.h"

std::vector<std::string> PresentMediaLabels() {
  std::vector<std::string> labels;
  const DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    const std::string root = std::string(1, static_cast<char>('a' + i)) + ":\\";
    const UINT type = GetDriveTypeW(tk::Widen(root).c_str());
    if (type != DRIVE_CDROM && type != DRIVE_REMOVABLE) continue;
    const std::string label = GetDriveVolumeLabel(root);
    if (!label.empty()) labels.push_back(label);
  }
  return labels;
}

namespace {

int ActionIndex(char action) { return action == 'b' ? 2 : action == 'r' ? 0 : action == 't' ? 1 : -1; }

// The glyph of the label button: a small arrow pointing down, in the buttons' text colour.
HBITMAP DownArrowGlyph() {
  return tk::DrawnBitmap(7, 4, [](HDC dc, int width, int height) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    for (int row = 0; row < height; ++row) {
      MoveToEx(dc, row, row, nullptr);
      LineTo(dc, width - row, row);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  });
}

}  // namespace

// ---------------------------------------------------------------- one entry

TAutoRunForm::TAutoRunForm() : TForm(L"TAutoRunForm") {
  SetCaption("AutoRun");
  BorderStyle = tk::TBorderStyle::bsDialog;
  BorderIcons = tk::biSystemMenu;
  Position = tk::TPosition::poScreenCenter;
  SetFormFont(FontOf("Tahoma", 8));
  SetClientSize(436, 330);
  Declare({
      {.Control = lblMedia, .Name = "lblMedia", .Caption = "Media's volume label(s)", .Bounds = {12, 12, 0, 0}},
      {.Control = edMediaNames, .Name = "edMediaNames", .Caption = "", .Bounds = {12, 28, 124, 21},
       .Style = tk::edReadOnly},
      {.Control = btn, .Name = "btn", .Caption = "...", .Bounds = {140, 27, 24, 23}},
      {.Control = bbtn, .Name = "bbtn", .Caption = "", .Bounds = {168, 27, 24, 23}},
      {.Control = DaysFrame1, .Name = "DaysFrame1", .Caption = "", .Bounds = {12, 64, 180, 184}},
      {.Control = lblCmd, .Name = "lblCmd", .Caption = "Action to do", .Bounds = {206, 12, 0, 0}},
      {.Control = cbCmd, .Name = "cbCmd", .Caption = "", .Bounds = {206, 28, 110, 21}, .Style = tk::cbList},
      {.Control = chkAskToRun, .Name = "chkAskToRun", .Caption = "Ask before running", .Bounds = {206, 58, 200, 17}},
      {.Control = lvProfs, .Name = "lvProfs", .Caption = "", .Bounds = {206, 84, 218, 188},
       .Style = tk::lvCheckBoxes | tk::lvNoColumnClick},
      {.Control = lblSelected, .Name = "lblSelected", .Caption = "0 selected", .Bounds = {206, 276, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {184, 296, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {266, 296, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
      {.Control = btnHelp, .Name = "btnHelp", .Caption = "Help", .Bounds = {348, 296, 75, 25}},
  });
  btn.SetHint("Enter volume labels");
  bbtn.SetHint("Get from inserted RW media");
  bbtn.SetGlyph(DownArrowGlyph(), 1, true);
  DaysFrame1.gboxDays.SetCaption(" AutoRun days ");
  cbCmd.SetItems({"Run", "Test", "Run & Test"});
  lvProfs.AddColumn("Profile(s) to act on", 194);

  MemoDialog1.Caption = "Media names";
  MemoDialog1.Prompt = "Enter volume labels";
  MemoDialog1.MemoWidth = 120;
  MemoDialog1.MemoHeight = 130;
  MemoDialog1.OKCancelAtTopRight = true;

  tk::TMenuItem** items[] = {&N1, &N2, &N3, &N4};
  for (int i = 0; i < 4; ++i) {
    tk::TMenuItem& item = PopupMenu1.Items().Add("-");
    item.Name = "N" + std::to_string(i + 1);
    item.OnClick = [this, &item] { LabelItemClick(item); };
    *items[i] = &item;
  }
  PopupAt = [this](int x, int y) { PopupMenu1.Popup(x, y); };

  UseAsProfileChecks(lvProfs, lblSelected);
  OnActivate = [this] { FormActivate(); };
  OnShow = [this] { FormShow(); };
  btn.OnClick = [this] { btnClick(); };
  bbtn.OnClick = [this] { bbtnClick(); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnHelp.OnClick = [] {
    if (RunHelpAction) RunHelpAction();
  };
}

void TAutoRunForm::FormActivate() { SetActiveControl(&edMediaNames); }

void TAutoRunForm::FormShow() { ShowSelectedCount(lvProfs, lblSelected); }

void TAutoRunForm::ResetForNew() {
  HandleNeeded();
  edMediaNames.SetText("");
  DaysFrame1.SetDays("1111111");
  cbCmd.SetItemIndex(0);
  FillProfileChecks(lvProfs, nullptr);
  chkAskToRun.SetChecked(true);
}

void TAutoRunForm::AutoRunToForm(const TQbAutoRun& e) {
  HandleNeeded();
  edMediaNames.SetText(e.Media);
  DaysFrame1.SetDays(e.Days);
  // An action letter of no known kind leaves the box as it was.
  if (ActionIndex(e.Action) >= 0) cbCmd.SetItemIndex(ActionIndex(e.Action));
  const std::string profiles = e.Profiles;
  FillProfileChecks(lvProfs, [&profiles](const std::string& name) { return IsInCommaList(name, profiles); });
  chkAskToRun.SetChecked(e.Ask);
}

void TAutoRunForm::FormToAutoRun(TQbAutoRun& e) const {
  e.Media = edMediaNames.Text();
  e.Days = DaysFrame1.GetDays();
  static constexpr char letters[] = {'r', 't', 'b'};
  const int index = cbCmd.ItemIndex();
  if (index >= 0 && index < 3) e.Action = letters[index];
  e.Profiles = tk::ToCommaText(CheckedProfileNames(lvProfs));
  e.Ask = chkAskToRun.Checked();
}

void TAutoRunForm::btnClick() {
  MemoDialog1.SetCommaText(edMediaNames.Text());
  if (!MemoDialog1.Execute()) return;
  MemoDialog1.Text = tk::Trim(MemoDialog1.Text);
  edMediaNames.SetText(MemoDialog1.GetCommaText());
}

void TAutoRunForm::bbtnClick() {
  for (tk::TMenuItem* item : {N1, N2, N3, N4}) item->SetCaption("-");
  const std::vector<std::string> labels = ReadMediaLabels ? ReadMediaLabels() : std::vector<std::string>();
  if (labels.empty()) {
    MsgDlg("No media (or volume-label) exists in CD drive", "iw");
    return;
  }
  tk::TMenuItem* items[] = {N1, N2, N3, N4};
  for (size_t i = 0; i < labels.size() && i < 4; ++i) items[i]->SetCaption(labels[i]);
  // Below the button: its client point (0, its height) on the screen.
  POINT pt{0, 0};
  if (bbtn.Handle()) {
    RECT r;
    GetClientRect(bbtn.Handle(), &r);
    pt.y = r.bottom;
    ClientToScreen(bbtn.Handle(), &pt);
  }
  if (PopupAt) PopupAt(pt.x, pt.y);
}

void TAutoRunForm::LabelItemClick(const tk::TMenuItem& item) {
  if (item.IsLine()) return;
  std::vector<std::string> labels = tk::FromCommaText(edMediaNames.Text());
  if (!IsInCommaList(item.Caption(), edMediaNames.Text())) labels.push_back(item.Caption());
  edMediaNames.SetText(tk::ToCommaText(labels));
}

void TAutoRunForm::btnOKClick() {
  std::string message;
  if (edMediaNames.Text().empty())
    message = "No media name entered";
  else if (DaysFrame1.GetDays() == "0000000")
    message = "No day is selected";
  else if (lvProfs.CheckedCount() == 0)
    message = "No profile is selected";
  if (message.empty()) return;
  SetModalResult(tk::mrNone);
  MsgDlg(message, "ii");
}

// ---------------------------------------------------------------- the list

TAutoRunsForm::TAutoRunsForm() : TEntryListForm(L"TAutoRunsForm", lvAutoRuns) {
  SetCaption("AutoRun Profiles");
  SetClientSize(490, 356);
  Declare({
      {.Control = ToolBar1, .Name = "ToolBar1", .Caption = "", .Bounds = {0, 0, 490, 26}},
      {.Control = lvAutoRuns, .Name = "lvAutoRuns", .Caption = "", .Bounds = {8, 32, 474, 220},
       .Style = tk::lvRowSelect | tk::lvGridLines},
      {.Control = lblNote1, .Name = "lblNote1", .Caption = "Media name can be repeated for different days.",
       .Bounds = {8, 258, 0, 0}},
      {.Control = lblNote2, .Name = "lblNote2", .Caption = "You can have multiple media names for a profile.",
       .Bounds = {8, 274, 0, 0}},
      {.Control = lblNote3, .Name = "lblNote3", .Caption = "AutoRun works on RW && USB-Flash drives",
       .Bounds = {8, 290, 0, 0}},
      {.Control = lblNote4, .Name = "lblNote4", .Caption = "(To backup on to RW, you need software such as InCD)",
       .Bounds = {8, 306, 0, 0}},
      {.Control = btnOK, .Name = "btnOK", .Caption = "OK", .Bounds = {326, 324, 75, 25}, .Style = tk::btnDefault,
       .ModalResult = tk::mrOk},
      {.Control = btnCancel, .Name = "btnCancel", .Caption = "Cancel", .Bounds = {407, 324, 75, 25},
       .Style = tk::btnCancel, .ModalResult = tk::mrCancel},
  });
  SetUp("Profile", false);
  lvAutoRuns.AddColumn("Media", 115);
  lvAutoRuns.AddColumn("Action", 65);
  lvAutoRuns.AddColumn("Days run on", 90);
  lvAutoRuns.AddColumn("Profiles", 140);
  lvAutoRuns.AddColumn("Ask?", 50);
  OnShow = [this] { ShowEntries(); };
  btnOK.OnClick = [this] { btnOKClick(); };
}

TAutoRunForm& TAutoRunsForm::AutoRunForm() {
  if (!autoRunForm_) autoRunForm_ = std::make_unique<TAutoRunForm>();
  // The label menu shows its labels with the main window's images too, each with the
  // picture of a medium that the rows show.
  autoRunForm_->PopupMenu1.Images = Images;
  for (tk::TMenuItem* item : {autoRunForm_->N1, autoRunForm_->N2, autoRunForm_->N3, autoRunForm_->N4})
    item->ImageIndex = RowImage;
  return *autoRunForm_;
}

int TAutoRunsForm::EntryCount() const { return AutoRuns ? AutoRuns->GetCount() : 0; }
void* TAutoRunsForm::Entry(int index) const { return AutoRuns->GetItem(index); }

void TAutoRunsForm::ShowRow(int row, const void* entry) {
  const auto& e = *static_cast<const TQbAutoRun*>(entry);
  lvAutoRuns.SetItemCaption(row, e.Media);
  lvAutoRuns.SetSubItem(row, 0, e.GetActionText());
  lvAutoRuns.SetSubItem(row, 1, e.GetDaysText());
  lvAutoRuns.SetSubItem(row, 2, e.Profiles);
  lvAutoRuns.SetSubItem(row, 3, e.GetAskText());
}

int TAutoRunsForm::CompareEntries(const void* a, const void* b) const {
  auto firstLabel = [](const void* entry) {
    const auto labels = tk::FromCommaText(static_cast<const TQbAutoRun*>(entry)->Media);
    return tk::UpperCase(labels.empty() ? std::string() : labels.front());
  };
  return tk::CompareText(firstLabel(a), firstLabel(b));
}

void* TAutoRunsForm::NewEntry() {
  TAutoRunForm& f = AutoRunForm();
  f.ResetForNew();
  f.SetCaption("Add");
  if (f.ShowModal() == tk::mrCancel || !AutoRuns) return nullptr;
  auto* e = new TQbAutoRun();
  f.FormToAutoRun(*e);
  AutoRuns->Add(e);
  return e;
}

bool TAutoRunsForm::EditEntry(void* entry) {
  auto* e = static_cast<TQbAutoRun*>(entry);
  TAutoRunForm& f = AutoRunForm();
  f.SetCaption("Edit");
  f.AutoRunToForm(*e);
  if (f.ShowModal() == tk::mrCancel) return false;
  f.FormToAutoRun(*e);
  return true;
}

void TAutoRunsForm::RemoveEntry(void* entry) {
  if (AutoRuns) AutoRuns->Remove(static_cast<TQbAutoRun*>(entry));
}

void TAutoRunsForm::btnOKClick() {
  if (!AutoRuns) return;
  const std::string label = AutoRuns->FindMediaConflict();
  if (label.empty()) return;
  SetModalResult(tk::mrNone);
  MsgDlg("Media name (" + label + ") can be repeated for different days only", "ie");
}

// ---------------------------------------------------------------- storing

void StoreAutoRuns(const TQbAutoRuns& list) {
  // Entries first, then the count that makes them the list, then the surplus.
  for (int i = 0; i < list.GetCount(); ++i) list.GetItem(i)->SaveToRegistry(AutoRunEntryKey(i + 1));
  TFernoIni().SetAutoRunCount(list.GetCount());
  EraseEntriesBeyond(AutoRunKey, list.GetCount());
}

bool EditAutoRuns(TAutoRunsForm& form) {
  std::string warnings;
  TQbAutoRuns list(&warnings);
  if (!warnings.empty())
    MsgDlg(UnreadAutoRunsText(warnings) + "\r\n\r\nIt is shown as read. OK stores it so; an unknown action stays "
                                          "until the entry is given one.", "iw");
  form.AutoRuns = &list;
  const bool ok = form.ShowModal() == tk::mrOk;
  form.AutoRuns = nullptr;
  if (ok) StoreAutoRuns(list);
  return ok;
}
