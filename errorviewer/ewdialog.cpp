#include "errorviewer/ewdialog.h"

#include <commctrl.h>

#include <chrono>
#include <random>

#include "errorviewer/ewlines.h"
#include "settings/protocol.h"
#include "toolkit/strings.h"
#include "toolkit/win_celltips.h"

namespace qbew {
namespace {

const wchar_t kBoxCaption[] = L"Quillbank 2.0";

struct TEwState {
  const std::vector<std::string>* Args;
  HIMAGELIST Images;
  std::vector<TEwRow> Rows;
};

void ShowError(const std::string& text) {
  MessageBoxW(nullptr, tk::Widen(text).c_str(), kBoxCaption, MB_TOPMOST | MB_ICONERROR);
}

void AddColumn(HWND list, int index, const std::string& caption, int width) {
  std::wstring text = tk::Widen(caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH;
  col.cx = width;
  col.pszText = text.data();
  SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
}

void AddRow(HWND list, const TEwRow& row) {
  std::wstring text = tk::Widen(row.Text);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = text.data();
  item.iImage = row.Image;
  int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (at < 0 || row.Code.empty()) return;
  std::wstring code = tk::Widen(row.Code);
  LVITEMW sub{};
  sub.iSubItem = 1;
  sub.pszText = code.data();
  SendMessageW(list, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
}

// Reads the whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, std::string* contents) {
  HANDLE h = CreateFileW(tk::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  char buf[65536];
  DWORD got = 0;
  while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) contents->append(buf, got);
  CloseHandle(h);
  return true;
}

// False when the program is to end without showing the dialog.
bool InitDialog(HWND dlg, const TEwState& state) {
  const auto& args = *state.Args;
  HWND list = GetDlgItem(dlg, kListId);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_INFOTIP);
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(state.Images));
  // A line longer than its column is read whole in a tip over its row.
  tk::ShowCutCellTips(list);

  SYSTEMTIME now;
  GetLocalTime(&now);
  // The message column takes what the code column leaves of the list, less the room of
  // the vertical scroll bar, so that a long list shows no horizontal one as well.
  constexpr int kCodeWidth = 60;
  RECT client{};
  GetClientRect(list, &client);
  AddColumn(list, 0, FirstColumnCaption(IsRunFromScheduler(args), now.wHour, now.wMinute),
            static_cast<int>(client.right) - kCodeWidth - GetSystemMetrics(SM_CXVSCROLL));
  AddColumn(list, 1, "Err code", kCodeWidth);

  if (args[0] == QbEwNoFileName) {
    AddRow(list, TEwRow{args.size() >= 2 ? args[1] : std::string(), std::string(), kImageError});
  } else {
    for (const TEwRow& row : state.Rows) AddRow(list, row);
  }

  SetForegroundWindow(dlg);
  std::mt19937 random(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
  int x = static_cast<int>(random() % 60), y = static_cast<int>(random() % 80);
  SetWindowPos(dlg, HWND_NOTOPMOST, x, y, 0, 0, SWP_NOSIZE);
  return true;
}

INT_PTR CALLBACK EwDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      if (!InitDialog(dlg, *reinterpret_cast<const TEwState*>(lParam))) EndDialog(dlg, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == kCloseId) {
        EndDialog(dlg, 0);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      // The image list belongs to the program, which frees it after the dialog; the list
      // view would otherwise destroy it too on its way out.
      SendMessageW(GetDlgItem(dlg, kListId), LVM_SETIMAGELIST, LVSIL_SMALL, 0);
      return FALSE;
  }
  return FALSE;
}

HIMAGELIST MakeImages(HINSTANCE module) {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR8, 2, 1);
  if (!images) return nullptr;
  for (const wchar_t* name : {L"err", L"warn"}) {
    HICON icon = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, 16, 16, LR_SHARED));
    ImageList_AddIcon(images, icon);
  }
  return images;
}

}  // namespace

int RunErrorViewer(HINSTANCE module, const std::vector<std::string>& args) {
  if (DecideStart(args) == TEwStart::Exit) return 0;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  TEwState state{&args, nullptr, {}};
  // The file is read before the dialog exists, so that a file that cannot be opened shows
  // only its box and the list never appears behind it.
  if (args[0] != QbEwNoFileName) {
    std::string contents;
    if (!ReadWholeFile(args[0], &contents)) {
      ShowError("Can not open error-log file (" + args[0] + ")");
      return 0;
    }
    state.Rows = ParseErrorFile(contents);
  }
  state.Images = MakeImages(module);
  INT_PTR result = DialogBoxParamW(module, L"QBEWDLG", nullptr, EwDialogProc, reinterpret_cast<LPARAM>(&state));
  if (result == -1) ShowError("Error invoking Quillbank 2.0 error/warning dialog");
  if (state.Images) ImageList_Destroy(state.Images);
  return 0;
}

}  // namespace qbew
