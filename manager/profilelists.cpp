// The rows of the main window's three lists: ordinary profiles, multi-computer
// profiles and the computers of the one shown multi-computer profile.
#include <algorithm>

#include "manager/mainform.h"
#include "settings/fernoglobal.h"
#include "settings/foconsts.h"
#include "settings/profilename.h"
#include "settings/vglobal.h"
#include "toolkit/datetime.h"
#include "toolkit/files.h"
#include "toolkit/strings.h"

namespace {

// Columns of lvProfiles (lvMcProfiles2 has the same from 1 on).
enum { colLastRun = 1, colRunOk, colZipFile, colSource, colZipSize, colLastTested, colTestOk };

std::string ErrorText(const std::string* texts, int count, int code) {
  if (code >= 0 && code < count) return texts[code];
  return "Error " + std::to_string(code);
}

std::string RunOkText(double time, int code) {
  if (time == 0) return "";
  return code == 0 ? "Yes" : "No (" + ErrorText(ZipErrorTexts, ZipErrorTextCount, code) + ")";
}

std::string TestOkText(double time, int code) {
  if (time == 0) return "";
  return code == 0 ? "Yes" : "No (" + ErrorText(UnzipErrorTexts, UnzipErrorTextCount, code) + ")";
}

// The image of a profile row.
int ProfileImage(const TQbProfile& p) {
  const bool failed = p.ze != 0 || p.te != 0;
  const bool logs = p.nrl >= 1;
  if (p.IsMultiComputer()) return failed ? (logs ? 10 : 5) : (logs ? 9 : 3);
  return failed ? (logs ? 8 : 2) : (logs ? 7 : 0);
}

// The image of a computer row.
int ComputerImage(const std::string& runOk, const std::string& testOk) {
  auto no = [](const std::string& s) { return tk::LowerCase(s.substr(0, 2)) == "no"; };
  return no(runOk) || no(testOk) ? 6 : 4;
}

}  // namespace

std::string TMainForm::DateText(double time) const {
  if (time == 0) return "Never";
  // A slash is quoted so that it prints as a slash whatever the system's separator.
  std::string pattern;
  for (char c : DateFormat) pattern += c == '/' ? std::string("\"/\"") : std::string(1, c);
  return tk::FormatDateTime(pattern + TimeSuffix, time);
}

TQbProfile* TMainForm::RowProfile(const tk::TListView& listView, int row) const {
  if (row < 0 || row >= listView.Count()) return nullptr;
  return reinterpret_cast<TQbProfile*>(listView.Data(row));
}

void TMainForm::ReleaseProfile(TQbProfile* profile) {
  std::erase_if(profiles_, [profile](const std::unique_ptr<TQbProfile>& p) { return p.get() == profile; });
}

void TMainForm::FillProfileLists() {
  lvProfiles.BeginUpdate();
  lvMcProfiles.BeginUpdate();
  std::vector<std::string> listed;
  NameWarnings.clear();
  for (const std::string& name : Ini->GetProfileNames()) {
    // Each row is one key, named as the list names it, and acts on that key: an empty
    // entry or one without its key gets no row, nor does a key listed a second time.
    if (std::any_of(listed.begin(), listed.end(), [&](const std::string& n) { return tk::SameText(n, name); }))
      continue;
    auto p = std::make_unique<TQbProfile>();
    std::string warning;
    if (!LoadProfileOfKey(*p, name, nullptr, &warning)) continue;
    if (!warning.empty()) NameWarnings += warning + "\r\n";
    listed.push_back(name);
    AddProfileRow(std::move(p));
  }
  lvMcProfiles.EndUpdate();
  lvProfiles.EndUpdate();
}

void TMainForm::AddProfileRow(std::unique_ptr<TQbProfile> profile) {
  TQbProfile* p = profile.get();
  profiles_.push_back(std::move(profile));
  if (p->IsMultiComputer()) {
    const int row = lvMcProfiles.AddItem(p->pn, reinterpret_cast<LPARAM>(p), ProfileImage(*p));
    lvMcProfiles.MakeVisible(row);
    return;
  }
  const int row = lvProfiles.AddItem(p->pn, reinterpret_cast<LPARAM>(p), ProfileImage(*p));
  UpdateProfileRow(row, true);
  lvProfiles.MakeVisible(row);
}

void TMainForm::UpdateProfileRow(int row, bool withSize) {
  TQbProfile* p = RowProfile(lvProfiles, row);
  if (!p) return;
  lvProfiles.SetItemCaption(row, p->pn);
  lvProfiles.SetSubItem(row, colLastRun - 1, DateText(p->lrun));
  lvProfiles.SetSubItem(row, colRunOk - 1, RunOkText(p->lrun, p->ze));
  lvProfiles.SetSubItem(row, colZipFile - 1, p->GetZipFileName(""));
  lvProfiles.SetSubItem(row, colSource - 1, p->GetSourceText());
  if (withSize)
    lvProfiles.SetSubItem(row, colZipSize - 1, p->GetZipSizeText(ZipSizePrecision, ZipSizeUnit, UseSavedSize, ""));
  lvProfiles.SetSubItem(row, colLastTested - 1, DateText(p->ltst));
  lvProfiles.SetSubItem(row, colTestOk - 1, TestOkText(p->ltst, p->te));
  lvProfiles.SetImageIndex(row, ProfileImage(*p));
}

std::string TMainForm::ComputerDateText(const TQbProfile& p, const char* sub, const std::string& computer) const {
  double time = 0;
  ReadFloatValue(*Ini, p.RegistryKey() + "\\" + sub, computer, 0, &time, nullptr);
  return DateText(time);
}

void TMainForm::SetComputerRowTexts(int row, const TQbProfile& p, const std::string& computer, bool withSize) {
  const std::string key = p.RegistryKey();
  double run = 0, test = 0;
  ReadFloatValue(*Ini, key + "\\lr", computer, 0, &run, nullptr);
  ReadFloatValue(*Ini, key + "\\lt", computer, 0, &test, nullptr);
  const std::string runOk = RunOkText(run, Ini->ReadInteger(key + "\\ze", computer, 0));
  const std::string testOk = TestOkText(test, Ini->ReadInteger(key + "\\te", computer, 0));
  lvMcProfiles2.SetSubItem(row, colLastRun - 1, DateText(run));
  lvMcProfiles2.SetSubItem(row, colRunOk - 1, runOk);
  lvMcProfiles2.SetSubItem(row, colZipFile - 1, p.GetZipFileName(computer));
  lvMcProfiles2.SetSubItem(row, colSource - 1,
                           "\\\\" + computer + "\\" + tk::ChangeFileExt(tk::ExtractFileName(p.zf), "") + "\\*.*");
  if (withSize)
    lvMcProfiles2.SetSubItem(row, colZipSize - 1,
                             p.GetZipSizeText(ZipSizePrecision, ZipSizeUnit, UseSavedSize, computer));
  lvMcProfiles2.SetSubItem(row, colLastTested - 1, DateText(test));
  lvMcProfiles2.SetSubItem(row, colTestOk - 1, testOk);
  lvMcProfiles2.SetImageIndex(row, ComputerImage(runOk, testOk));
}

void TMainForm::FillComputerRows(TQbProfile& profile) {
  if (SuppressComputerFill) return;
  if (!ForceComputerFill && tk::SameText(ShownMcProfile, profile.pn)) return;
  ShownMcProfile = profile.pn;
  lvMcProfiles2.BeginUpdate();
  lvMcProfiles2.Clear();
  for (const std::string& computer : tk::FromCommaText(profile.cns)) {
    const int row = lvMcProfiles2.AddItem("", reinterpret_cast<LPARAM>(&profile), 4);
    SetComputerRowTexts(row, profile, computer, true);
  }
  lvMcProfiles2.EndUpdate();
}

void TMainForm::SelectProfileByName(tk::TListView& listView, const std::string& name) {
  const int row = listView.IndexOfCaption(name);
  if (row < 0 || !tk::SameText(listView.ItemCaption(row), name)) return;
  for (int i = 0; i < listView.Count(); ++i) listView.SetSelected(i, false);
  listView.SetItemIndex(row);
  listView.SetItemFocused(row);
  listView.MakeVisible(row);
  if (TQbProfile* p = RowProfile(listView, row); p && p->IsMultiComputer()) FillComputerRows(*p);
}

void TMainForm::lvProfilesChange(const tk::TListChange& change) {
  if (change.Changed & LVIF_STATE) LastProfile = lvProfiles.ItemCaption(change.Item);
}

void TMainForm::lvMcProfilesChange(const tk::TListChange& change) {
  if (!(change.Changed & LVIF_STATE) || change.Item < 0) return;
  LastMcProfile = lvMcProfiles.ItemCaption(change.Item);
  const int selected = lvMcProfiles.SelCount();
  if (selected >= 2) {
    lvMcProfiles2.Clear();
    ShownMcProfile.clear();
  } else if (selected == 1 && WindowCreated) {
    if (TQbProfile* p = RowProfile(lvMcProfiles, lvMcProfiles.ItemIndex())) FillComputerRows(*p);
  }
}

void TMainForm::RefreshProfileRows(bool onlyListed) {
  const std::string listed = Ini->GetToRefresh();
  if (onlyListed && listed.empty()) return;
  auto wanted = [&](const std::string& name) {
    return !onlyListed || listed.find("\"" + name + "\"") != std::string::npos;
  };
  for (int row = 0; row < lvProfiles.Count(); ++row) {
    TQbProfile* p = RowProfile(lvProfiles, row);
    if (!p || !wanted(lvProfiles.ItemCaption(row))) continue;
    LoadProfileOfKey(*p, lvProfiles.ItemCaption(row));
    UpdateProfileRow(row, true);
  }
  for (int row = 0; row < lvMcProfiles.Count(); ++row) {
    TQbProfile* p = RowProfile(lvMcProfiles, row);
    if (!p || !wanted(lvMcProfiles.ItemCaption(row))) continue;
    LoadProfileOfKey(*p, lvMcProfiles.ItemCaption(row));
    lvMcProfiles.SetItemCaption(row, p->pn);
    lvMcProfiles.SetImageIndex(row, ProfileImage(*p));
    if (tk::SameText(p->pn, ShownMcProfile)) {
      ForceComputerFill = true;
      FillComputerRows(*p);
      ForceComputerFill = false;
    }
  }
  Ini->SetToRefresh("");
}

void TMainForm::ReformatDates() {
  for (int row = 0; row < lvProfiles.Count(); ++row)
    if (TQbProfile* p = RowProfile(lvProfiles, row)) {
      lvProfiles.SetSubItem(row, colLastRun - 1, DateText(p->lrun));
      lvProfiles.SetSubItem(row, colLastTested - 1, DateText(p->ltst));
    }
  if (lvMcProfiles2.Count() == 0) return;
  TQbProfile* p = RowProfile(lvMcProfiles2, 0);
  const auto computers = tk::FromCommaText(p->cns);
  for (int row = 0; row < lvMcProfiles2.Count() && row < static_cast<int>(computers.size()); ++row) {
    lvMcProfiles2.SetSubItem(row, colLastRun - 1, ComputerDateText(*p, "lr", computers[static_cast<size_t>(row)]));
    lvMcProfiles2.SetSubItem(row, colLastTested - 1, ComputerDateText(*p, "lt", computers[static_cast<size_t>(row)]));
  }
}

void TMainForm::RefreshZipSizes(bool mcOnly) {
  if (!mcOnly)
    for (int row = 0; row < lvProfiles.Count(); ++row)
      if (TQbProfile* p = RowProfile(lvProfiles, row))
        lvProfiles.SetSubItem(row, colZipSize - 1, p->GetZipSizeText(ZipSizePrecision, ZipSizeUnit, UseSavedSize, ""));
  if (lvMcProfiles2.Count() == 0) return;
  TQbProfile* p = RowProfile(lvMcProfiles2, 0);
  const auto computers = tk::FromCommaText(p->cns);
  for (int row = 0; row < lvMcProfiles2.Count() && row < static_cast<int>(computers.size()); ++row)
    lvMcProfiles2.SetSubItem(row, colZipSize - 1,
                             p->GetZipSizeText(ZipSizePrecision, ZipSizeUnit, UseSavedSize,
                                               computers[static_cast<size_t>(row)]));
}

void TMainForm::PaintAlternateRow(tk::TListView&, NMLVCUSTOMDRAW& draw) const {
  const int index = static_cast<int>(draw.nmcd.dwItemSpec);
  const tk::TColor color = !TwoColorRows ? tk::clWindow : (index % 2 == 1 ? RowColor1 : RowColor2);
  draw.clrTextBk = tk::ColorToRGB(color);
}

bool TMainForm::ListCustomDraw(tk::TListView& listView, NMLVCUSTOMDRAW& draw, LRESULT* result) {
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
    *result = CDRF_NOTIFYITEMDRAW;
    return true;
  }
  if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return false;
  const int row = static_cast<int>(draw.nmcd.dwItemSpec);
  int image = -1;
  if (&listView == &lvMcProfiles2) image = ComputerImage(listView.SubItem(row, colRunOk - 1), listView.SubItem(row, colTestOk - 1));
  else if (TQbProfile* p = RowProfile(listView, row)) image = ProfileImage(*p);
  if (image >= 0 && listView.ImageIndex(row) != image) listView.SetImageIndex(row, image);
  PaintAlternateRow(listView, draw);
  *result = CDRF_DODEFAULT;
  return true;
}
