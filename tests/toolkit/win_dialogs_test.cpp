// The common dialogs and the image list: the folder browser answered from a
// second thread, the filter text, images added and drawn.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "support/testutil.h"
#include "toolkit/strings.h"
#include "toolkit/win_dialogs.h"
#include "toolkit/win_imagelist.h"

using namespace tk;

namespace {

// The text of the item selected in the folder tree of a browse dialog.
std::wstring SelectedFolderName(HWND box) {
  HWND tree = FindWindowExW(box, nullptr, WC_TREEVIEWW, nullptr);
  if (!tree) return L"";
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return L"";
  wchar_t buf[MAX_PATH] = {};
  TVITEMW tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = buf;
  tv.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return buf;
}

// The visible browse dialog of this process (other programs may show dialogs too).
HWND OwnBrowseDialog() {
  for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

// Presses a button of the browse dialog once its tree shows waitFor selected (when
// given). When that does not happen within 10 s the dialog is cancelled, so the call
// that shows it returns, and *failure says what did not appear.
void AnswerDialog(int buttonId, std::wstring waitFor, std::atomic<bool>& done, std::string* failure) {
  HWND box = nullptr;
  for (int i = 0; i < 500 && !done; ++i) {
    box = OwnBrowseDialog();
    if (box && (waitFor.empty() || SelectedFolderName(box) == waitFor)) {
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
      return;
    }
    Sleep(20);
  }
  if (done) return;
  if (!box) {
    *failure = "no folder browser appeared within 10 s";
    return;
  }
  *failure = "the folder browser did not show \"" + Narrow(waitFor) + "\" selected within 10 s (it showed \"" +
             Narrow(SelectedFolderName(box)) + "\"); cancelled";
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDCANCEL)));
}

}  // namespace

TEST(Dialogs, FilterTextBecomesNulSeparatedPairs) {
  std::wstring w = FilterToWin32("Zip files (*.zip)|*.zip|All files (*.*)|*.*");
  const wchar_t expected[] = L"Zip files (*.zip)\0*.zip\0All files (*.*)\0*.*\0";  // + the final NUL
  EXPECT_EQ(w, std::wstring(expected, sizeof(expected) / sizeof(wchar_t)));
  EXPECT_EQ(FilterToWin32(""), std::wstring(L"\0\0", 2));
}

TEST(Dialogs, SelectDirectoryGivesTheChosenFolderAndKeepsItOnCancel) {
  qbtest::TempDir tmp;
  std::string start = tmp / "start";
  qbtest::MakeDirs(start);
  {
    std::atomic<bool> done{false};
    std::string failure;
    std::thread t(AnswerDialog, IDOK, L"start", std::ref(done), &failure);
    std::string dir = start;
    bool ok = SelectDirectory("Choose the folder", "", dir);
    done = true;
    t.join();
    EXPECT_EQ(failure, "");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(SameText(dir, start)) << dir;
  }
  {
    std::atomic<bool> done{false};
    std::string failure;
    std::thread t(AnswerDialog, IDCANCEL, L"", std::ref(done), &failure);
    std::string dir = "unchanged";
    bool ok = SelectDirectory("Choose the folder", "", dir);
    done = true;
    t.join();
    EXPECT_EQ(failure, "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(dir, "unchanged");
  }
}

// What COM said on the browser's thread while the browser was open (E_PENDING: not asked).
static HRESULT g_comOnBrowserThread = E_PENDING;

// Runs inside the browser's modal loop: asks COM about this thread, then closes the browser.
void CALLBACK LookAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM found) {
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(w)) *reinterpret_cast<HWND*>(found) = w;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&box));
  if (!box) return;
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr)) CoUninitialize();
  g_comOnBrowserThread = hr;
  KillTimer(nullptr, id);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDCANCEL)));
}

TEST(Dialogs, TheFolderBrowserRunsWithComOnAThreadThatHadNone) {
  for (bool newStyle : {false, true}) {
    g_comOnBrowserThread = E_PENDING;
    std::thread browser([newStyle] {
      SetTimer(nullptr, 0, 30, LookAndClose);
      std::atomic<bool> done{false};
      std::thread fallback([&done] {  // closes the browser should the look never come
        for (int i = 0; i < 500 && !done; ++i) Sleep(20);
        std::string failure;
        if (!done) AnswerDialog(IDCANCEL, L"", done, &failure);
      });
      std::string dir = "unchanged";
      EXPECT_FALSE(SelectDirectory("Choose the folder", "", dir, nullptr, newStyle));
      done = true;
      fallback.join();
      // And it is left as it was found.
      const HRESULT after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      EXPECT_EQ(after, S_OK);
      if (SUCCEEDED(after)) CoUninitialize();
    });
    browser.join();
    // S_FALSE: COM was already initialised for the thread, by the browser's caller.
    EXPECT_EQ(g_comOnBrowserThread, S_FALSE) << newStyle;
  }
}

TEST(ImageList, IconsAreAddedReadBackAndDrawn) {
  TImageList il(16, 16);
  EXPECT_EQ(il.Count(), 0);
  HICON icon = static_cast<HICON>(LoadImageW(nullptr, IDI_ERROR, IMAGE_ICON, 16, 16, LR_SHARED));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(il.AddIcon(icon), 0);
  EXPECT_EQ(il.AddIcon(icon), 1);
  EXPECT_EQ(il.Count(), 2);
  EXPECT_EQ(il.AddIcon(nullptr), -1);
  HICON copy = il.GetIcon(1);
  EXPECT_NE(copy, nullptr);
  if (copy) DestroyIcon(copy);
  EXPECT_EQ(il.GetIcon(5), nullptr);

  // Drawn on white, the error icon leaves pixels that are not white.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT r{0, 0, 16, 16};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_TRUE(il.Draw(dc, 0, 0, 0));
  int coloured = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) coloured += GetPixel(dc, x, y) != RGB(255, 255, 255) ? 1 : 0;
  EXPECT_GT(coloured, 20);
  EXPECT_FALSE(il.Draw(dc, 0, 0, 7));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);

  il.Clear();
  EXPECT_EQ(il.Count(), 0);
}
