#include "manager/profilechecks.h"

#include <memory>

#include "manager/mainservices.h"
#include "settings/fernoini.h"

void ShowSelectedCount(const tk::TListView& lv, tk::TLabel& lblSelected) {
  lblSelected.SetCaption(std::to_string(lv.CheckedCount()) + " selected");
}

void UseAsProfileChecks(tk::TListView& lv, tk::TLabel& lblSelected) {
  lv.OnChanging = [](const tk::TListChange& ch, bool& allow) {
    if (ch.SelectChanged() && (ch.NewState & LVIS_SELECTED)) allow = false;
  };
  lv.OnChange = [&lv, &lblSelected](const tk::TListChange&) { ShowSelectedCount(lv, lblSelected); };
  lv.OnCustomDraw = [&lv](NMLVCUSTOMDRAW& draw, LRESULT* result) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
      *result = CDRF_NOTIFYITEMDRAW;
      return true;
    }
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return false;
    const int row = static_cast<int>(draw.nmcd.dwItemSpec);
    if (!lv.Enabled()) {
      draw.clrTextBk = GetSysColor(COLOR_BTNFACE);
      draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
    } else if (lv.Checked(row)) {
      draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
      draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else {
      draw.clrTextBk = GetSysColor(COLOR_WINDOW);
      draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
    }
    *result = CDRF_NEWFONT;
    return true;
  };
}

void FillProfileChecks(tk::TListView& lv, const std::function<bool(const std::string&)>& ticked) {
  lv.BeginUpdate();
  lv.Clear();
  for (const std::string& name : ListAllProfileNames()) {
    const int row = lv.AddItem(name);
    if (ticked && ticked(name)) lv.SetChecked(row, true);
  }
  lv.EndUpdate();
}

std::vector<std::string> CheckedProfileNames(const tk::TListView& lv) {
  std::vector<std::string> names;
  for (int i = 0; i < lv.Count(); ++i)
    if (lv.Checked(i)) names.push_back(lv.ItemCaption(i));
  return names;
}

std::string QuotedProfileList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += "\"" + n + "\" ";
  return list;
}

void UseAlternateRows(tk::TListView& lv) {
  // The colours are read once per paint of the list, not once per row.
  struct TRowColours {
    bool TwoColours = false;
    COLORREF Odd = 0, Even = 0;
  };
  auto colours = std::make_shared<TRowColours>();
  lv.OnCustomDraw = [colours](NMLVCUSTOMDRAW& draw, LRESULT* result) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
      TFernoIni ini;
      colours->TwoColours = ini.GetUse2ColorView();
      colours->Odd = tk::ColorToRGB(static_cast<tk::TColor>(ini.GetAlternateColor()));
      colours->Even = tk::ColorToRGB(static_cast<tk::TColor>(ini.GetAlternateColor2()));
      *result = CDRF_NOTIFYITEMDRAW;
      return true;
    }
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return false;
    draw.clrTextBk = !colours->TwoColours        ? GetSysColor(COLOR_WINDOW)
                     : draw.nmcd.dwItemSpec % 2 ? colours->Odd
                                                : colours->Even;
    *result = CDRF_NEWFONT;
    return true;
  };
}
