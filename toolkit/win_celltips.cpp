#include "toolkit/win_celltips.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tk {

namespace {

constexpr UINT_PTR kSubclassId = 0x43454C54;
constexpr UINT_PTR kToolId = 1;
// Marks a list that has its tips already.
constexpr const wchar_t* kMarker = L"QbCellTips";

// The tooltip of one list and the cell it speaks for (item -1: none).
struct TCellTips {
  HWND Tip = nullptr;
  int Item = -1, SubItem = -1;
  std::wstring Text;
};

std::wstring CellText(HWND list, int item, int subItem) {
  std::vector<wchar_t> buf(1024);
  for (;;) {
    LVITEMW it{};
    it.iSubItem = subItem;
    it.pszText = buf.data();
    it.cchTextMax = static_cast<int>(buf.size());
    const auto n = static_cast<size_t>(SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&it)));
    if (n + 1 < buf.size() || buf.size() >= (1u << 20)) return std::wstring(buf.data(), std::min(n, buf.size() - 1));
    buf.resize(buf.size() * 4);
  }
}

// The room the list gives the cell's text: its label rectangle, in client pixels.
RECT CellLabel(HWND list, int item, int subItem) {
  RECT r{};
  r.top = subItem;
  r.left = LVIR_LABEL;
  if (!SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&r))) return RECT{};
  return r;
}

bool TextCut(HWND list, const std::wstring& text, const RECT& label, int subItem) {
  if (text.empty()) return false;
  HDC dc = GetDC(list);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  // Beside the text the list keeps a margin inside the label: 2 pixels for a row's own
  // text, 5 for a sub-item's.
  const int margin = subItem == 0 ? 2 : 5;
  return extent.cx + margin > label.right - label.left;
}

void SetTool(TCellTips& tips, HWND list, const RECT& rect, const std::wstring& text) {
  std::wstring shown = text;
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = list;
  ti.uId = kToolId;
  ti.rect = rect;
  ti.lpszText = shown.data();
  SendMessageW(tips.Tip, TTM_POP, 0, 0);
  SendMessageW(tips.Tip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(tips.Tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

// The cell under the pointer becomes the tool's rectangle when its text is cut, and
// the tool shrinks to nothing over any other place.
void Follow(TCellTips& tips, HWND list, LPARAM lp) {
  LVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  int item = static_cast<int>(SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  int subItem = hit.iSubItem;
  std::wstring text;
  RECT label{};
  if (item >= 0 && (hit.flags & LVHT_ONITEM)) {
    text = CellText(list, item, subItem);
    label = CellLabel(list, item, subItem);
    if (!TextCut(list, text, label, subItem)) item = -1;
  } else {
    item = -1;
  }
  if (item < 0) {
    subItem = -1;
    text.clear();
    label = RECT{};
  }
  if (item == tips.Item && subItem == tips.SubItem && text == tips.Text) return;
  tips.Item = item;
  tips.SubItem = subItem;
  tips.Text = text;
  SetTool(tips, list, label, text);
}

LRESULT CALLBACK ListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* tips = reinterpret_cast<TCellTips*>(data);
  switch (msg) {
    case WM_MOUSEMOVE:
      Follow(*tips, list, lp);
      [[fallthrough]];
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_RBUTTONDOWN: case WM_RBUTTONUP:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: {
      MSG m{list, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
      GetCursorPos(&m.pt);
      SendMessageW(tips->Tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
      break;
    }
    case WM_MOUSEWHEEL: case WM_VSCROLL: case WM_HSCROLL: case WM_KEYDOWN:
      // The rows move under the pointer: the next move finds its cell anew.
      tips->Item = tips->SubItem = -1;
      tips->Text.clear();
      SetTool(*tips, list, RECT{}, L"");
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, ListProc, kSubclassId);
      RemovePropW(list, kMarker);
      if (IsWindow(tips->Tip)) DestroyWindow(tips->Tip);  // the window owning it may have taken it first
      delete tips;
      return DefSubclassProc(list, msg, wp, lp);
    default: break;
  }
  return DefSubclassProc(list, msg, wp, lp);
}

}  // namespace

void ShowCutCellTips(HWND listView) {
  if (!listView || GetPropW(listView, kMarker)) return;
  auto* tips = new TCellTips;
  tips->Tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              GetAncestor(listView, GA_ROOT), nullptr, nullptr, nullptr);
  if (!tips->Tip) {
    delete tips;
    return;
  }
  wchar_t none[] = L"";
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = listView;
  ti.uId = kToolId;
  ti.lpszText = none;
  SendMessageW(tips->Tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  // A long line wraps at half the screen's width, and stays until the pointer leaves.
  SendMessageW(tips->Tip, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
  SendMessageW(tips->Tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));
  SetPropW(listView, kMarker, tips);
  SetWindowSubclass(listView, ListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(tips));
}

}  // namespace tk
