#include "controls/memodialog.h"

#include "controls/modalwindow.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace g32 {
namespace {

const wchar_t kFormClass[] = L"TMemoForm";
constexpr int kButtonWidth = 75, kButtonHeight = 25;

struct TMemoForm {
  HWND form = nullptr, prompt = nullptr, memo = nullptr, ok = nullptr, cancel = nullptr;
  int result = 0;

  // Escape anywhere cancels; Tab moves between the memo and the buttons instead of
  // going into the text; Enter presses a focused button and is a new line in the memo.
  bool Preview(const MSG& msg) {
    if (!IsForWindow(msg, form)) return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      result = IDCANCEL;
      return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB) {
      HWND order[] = {memo, ok, cancel};
      bool back = GetKeyState(VK_SHIFT) < 0;
      int at = 0;
      for (int i = 0; i < 3; ++i)
        if (GetFocus() == order[i]) at = i;
      SetFocus(order[(at + (back ? 2 : 1)) % 3]);
      if (GetFocus() == memo) SendMessageW(memo, EM_SETSEL, 0, -1);
      return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && (msg.hwnd == ok || msg.hwnd == cancel)) {
      result = msg.hwnd == ok ? IDOK : IDCANCEL;
      return true;
    }
    if (msg.message == WM_CHAR && (msg.wParam == L'\t' || msg.wParam == 27)) return true;
    return false;
  }

  static LRESULT CALLBACK Proc(HWND wnd, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TMemoForm*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (m == WM_NCCREATE) {
      self = static_cast<TMemoForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self && m == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) && HIWORD(wp) == BN_CLICKED) {
      self->result = LOWORD(wp);
      return 0;
    }
    if (self && m == WM_CLOSE) {
      self->result = IDCANCEL;
      return 0;
    }
    return DefWindowProcW(wnd, m, wp, lp);
  }
};

}  // namespace

TMemoDialog::TMemoDialog() {
  Font.lfHeight = -11;  // 8 points at 96 DPI
  Font.lfWeight = FW_NORMAL;
  Font.lfCharSet = DEFAULT_CHARSET;
  wcscpy(Font.lfFaceName, L"Tahoma");
}

void TMemoDialog::SetCommaText(std::string_view commaText) {
  tk::TStringList lines;
  lines.SetCommaText(commaText);
  Text = lines.Text();
}

std::string TMemoDialog::GetCommaText() const {
  tk::TStringList lines;
  lines.SetText(Text);
  return lines.CommaText();
}

bool TMemoDialog::Execute() {
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TMemoForm::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kFormClass;
    return RegisterClassW(&wc) != 0;
  }();
  if (!registered) return false;
  TMemoForm f;
  HWND owner = GetActiveWindow();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_DLGMODALFRAME;
  f.form = CreateWindowExW(exStyle, kFormClass, tk::Widen(Caption).c_str(), style, 0, 0, 100, 100, owner, nullptr,
                           GetModuleHandleW(nullptr), &f);
  if (!f.form) return false;
  HFONT font = CreateFontIndirectW(&Font);

  std::wstring prompt = tk::Widen(Prompt);
  HDC dc = GetDC(f.form);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE ps{};
  GetTextExtentPoint32W(dc, prompt.c_str(), static_cast<int>(prompt.size()), &ps);
  SelectObject(dc, old);
  ReleaseDC(f.form, dc);

  const int labelLeft = 10, labelTop = 8;
  const int l = labelLeft, memoTop = labelTop + ps.cy + 8;
  int clientW, clientH, cancelLeft, cancelTop, okLeft, okTop;
  if (OKCancelAtTopRight) {
    clientW = MemoWidth + 3 * l + kButtonWidth;
    clientH = MemoHeight + memoTop + l;
    cancelLeft = okLeft = clientW - kButtonWidth - l;
    cancelTop = labelTop + kButtonHeight + 8;
    okTop = labelTop;
  } else {
    clientW = MemoWidth + 2 * l;
    clientH = MemoHeight + memoTop + 2 * kButtonHeight;
    if (clientW < 3 * kButtonWidth) clientW = 3 * kButtonWidth + 2 * l;
    cancelLeft = clientW - kButtonWidth - 12;
    cancelTop = clientH - kButtonHeight - 8;
    okLeft = cancelLeft - 8 - kButtonWidth;
    okTop = cancelTop;
  }
  RECT frame{0, 0, clientW, clientH};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  int w = frame.right - frame.left, h = frame.bottom - frame.top;
  POINT at = ScreenCentre(w, h);
  SetWindowPos(f.form, nullptr, at.x, at.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);

  f.prompt = CreateWindowExW(0, L"STATIC", prompt.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, labelLeft, labelTop,
                             ps.cx, ps.cy, f.form, nullptr, nullptr, nullptr);
  f.memo = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", tk::Widen(Text).c_str(),
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN |
                               ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                           l, memoTop, MemoWidth, MemoHeight, f.form, nullptr, nullptr, nullptr);
  f.ok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, okLeft, okTop,
                         kButtonWidth, kButtonHeight, f.form, reinterpret_cast<HMENU>(IDOK), nullptr, nullptr);
  f.cancel = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, cancelLeft,
                             cancelTop, kButtonWidth, kButtonHeight, f.form, reinterpret_cast<HMENU>(IDCANCEL), nullptr,
                             nullptr);
  for (HWND c : {f.prompt, f.memo, f.ok, f.cancel}) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  SendMessageW(f.memo, EM_SETLIMITTEXT, 0, 0);

  int outcome = RunModal(f.form, owner, f.memo, f.result, [&f](const MSG& msg) { return f.Preview(msg); });
  bool ok = outcome == IDOK;
  if (ok) {
    int n = GetWindowTextLengthW(f.memo);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(f.memo, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    Text = tk::Narrow(text);
  }
  DestroyWindow(f.form);
  DeleteObject(font);
  return ok;
}

}  // namespace g32
