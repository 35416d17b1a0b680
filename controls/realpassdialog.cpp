#include "controls/realpassdialog.h"

#include "controls/g32_progressbar.h"
#include "controls/modalwindow.h"
#include "toolkit/strings.h"

namespace g32 {
namespace {

const wchar_t kFormClass[] = L"TPassForm";
const wchar_t kNoQuoteMessage[] = L"A password can not hold the double quote character (\")";
constexpr int kButtonWidth = 75, kButtonHeight = 25;

HFONT DialogFont() {
  LOGFONTW lf{};
  lf.lfHeight = -11;
  lf.lfWeight = FW_NORMAL;
  wcscpy(lf.lfFaceName, L"Tahoma");
  return CreateFontIndirectW(&lf);
}

SIZE TextSize(HWND wnd, HFONT font, const std::wstring& text) {
  HDC dc = GetDC(wnd);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(wnd, dc);
  return size;
}

// One entry's window.
struct TPassForm {
  const TRealPassDialog* dialog;
  std::wstring typed;
  bool lastKeyWasBackspace = false;
  HWND form = nullptr, prompt = nullptr, passLabel = nullptr, ok = nullptr, cancel = nullptr;
  TG32_ProgressBar bar;
  int result = 0;

  void Refresh() {
    if (dialog->DisplayIcon) {
      bar.SetPosition(static_cast<int>(typed.size()));
    } else {
      std::wstring shown = dialog->PasswordChar ? std::wstring(typed.size(), dialog->PasswordChar) : typed;
      SetWindowTextW(passLabel, shown.c_str());
    }
  }

  // The form sees every key of its windows first; true when the key is used up.
  bool Preview(const MSG& msg) {
    if (!IsForWindow(msg, form)) return false;
    if (msg.message == WM_KEYDOWN) {
      lastKeyWasBackspace = msg.wParam == VK_BACK;
      if (msg.wParam == VK_RETURN) result = IDOK;  // the default button
      if (msg.wParam == VK_ESCAPE) result = IDCANCEL;  // the cancel button
      if (msg.wParam == VK_BACK && !typed.empty()) {
        typed.pop_back();
        if (!typed.empty() && IS_HIGH_SURROGATE(typed.back())) typed.pop_back();
        Refresh();
      }
      return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE || msg.wParam == VK_BACK;
    }
    if (msg.message == WM_CHAR) {
      // A password reaches the runner inside a quoted word of its command line, where a
      // double quote cannot stand: it is refused here, never altered on the way.
      if (msg.wParam == L'"') {
        MessageBoxW(form, kNoQuoteMessage, L"Information", MB_ICONINFORMATION | MB_OK);
        return true;
      }
      // Control characters (Enter, Escape, Tab, Backspace) are keys, not password text.
      if (!lastKeyWasBackspace && msg.wParam >= L' ') {
        typed += static_cast<wchar_t>(msg.wParam);
        Refresh();
      }
      return true;
    }
    return false;
  }

  static LRESULT CALLBACK Proc(HWND wnd, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TPassForm*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (m == WM_NCCREATE) {
      self = static_cast<TPassForm*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self) {
      if (m == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        self->result = LOWORD(wp);
        return 0;
      }
      if (m == WM_CLOSE) {
        self->result = IDCANCEL;
        return 0;
      }
    }
    return DefWindowProcW(wnd, m, wp, lp);
  }

  int Run(bool second) {
    static bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
      wc.lpszClassName = kFormClass;
      return RegisterClassW(&wc) != 0;
    }();
    if (!registered) return IDCANCEL;
    HWND owner = GetActiveWindow();
    const int width = 375, height = 130;
    POINT at = ScreenCentre(width, height);
    form = CreateWindowExW(WS_EX_DLGMODALFRAME, kFormClass, tk::Widen(dialog->Caption).c_str(),
                           WS_POPUP | WS_CAPTION | WS_SYSMENU, at.x, at.y, width, height, owner, nullptr,
                           GetModuleHandleW(nullptr), this);
    if (!form) return IDCANCEL;
    HFONT font = DialogFont();
    HFONT passFont = CreateFontIndirectW(&dialog->PasswordFont);
    RECT client;
    GetClientRect(form, &client);

    std::wstring promptText = tk::Widen(second ? dialog->Text2 : dialog->Text);
    SIZE ps = TextSize(form, font, promptText);
    prompt = CreateWindowExW(0, L"STATIC", promptText.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 10, 8, ps.cx,
                             ps.cy, form, nullptr, nullptr, nullptr);
    int labelTop = 8 + ps.cy + 8;
    SIZE cs = TextSize(form, passFont, L"W");
    passLabel = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_NOPREFIX | (dialog->DisplayIcon ? 0 : WS_VISIBLE),
                                14, labelTop, client.right - 14 - 16, cs.cy, form, nullptr, nullptr, nullptr);
    bar.SetBounds(10, labelTop, client.right - 10 - 16, 14);
    bar.SetBackColor(clWhite);
    bar.SetColor(0xDAACC3);
    bar.SetContrast(95);
    bar.SetFramed(true);
    bar.SetMin(0);
    bar.SetMax(30);
    bar.SetPosition(0);
    bar.SetVisible(dialog->DisplayIcon);
    bar.CreateWnd(form);

    int buttonTop = client.bottom - 8 - kButtonHeight;
    int cancelLeft = client.right - 12 - kButtonWidth;
    cancel = CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, cancelLeft, buttonTop,
                             kButtonWidth, kButtonHeight, form, reinterpret_cast<HMENU>(IDCANCEL), nullptr, nullptr);
    ok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON,
                         cancelLeft - 8 - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight, form,
                         reinterpret_cast<HMENU>(IDOK), nullptr, nullptr);
    for (HWND w : {prompt, ok, cancel}) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    SendMessageW(passLabel, WM_SETFONT, reinterpret_cast<WPARAM>(passFont), 0);

    Refresh();
    int outcome = RunModal(form, owner, form, result, [this](const MSG& msg) { return Preview(msg); });
    DestroyWindow(form);
    DeleteObject(font);
    DeleteObject(passFont);
    return outcome;
  }
};

}  // namespace

TRealPassDialog::TRealPassDialog() {
  PasswordFont.lfHeight = -13;  // 10 points at 96 DPI
  PasswordFont.lfWeight = FW_BOLD;
  PasswordFont.lfCharSet = DEFAULT_CHARSET;
  wcscpy(PasswordFont.lfFaceName, L"Courier New");
}

TRealPassDialog::~TRealPassDialog() {
  if (PasswordIcon) DestroyIcon(PasswordIcon);
}

void TRealPassDialog::SetPasswordIcon(HICON icon) {
  if (PasswordIcon) DestroyIcon(PasswordIcon);
  PasswordIcon = icon ? CopyIcon(icon) : nullptr;
}

bool TRealPassDialog::ShowEntry(std::string& typed) {
  TPassForm form;
  form.dialog = this;
  form.typed = secondEntry_ ? std::wstring() : tk::Widen(Password);
  bool ok = form.Run(secondEntry_) == IDOK;
  typed = tk::Narrow(form.typed);
  return ok;
}

bool TRealPassDialog::Execute() {
  std::string first, second;
  if (!ShowEntry(first)) return false;
  if (AskTwice) {
    secondEntry_ = true;
    bool ok = ShowEntry(second);
    secondEntry_ = false;
    if (!ok) return false;
    if (first != second) {
      MessageBoxW(GetActiveWindow(), L"Passwords do not match, re-enter correctly", L"Error", MB_ICONERROR | MB_OK);
      return false;
    }
  }
  Password = first;
  return true;
}

}  // namespace g32
