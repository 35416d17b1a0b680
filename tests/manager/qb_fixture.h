#pragma once
// The real Qb.exe under Wine, started from a temporary program folder whose RunQb.exe,
// QbSch.exe and QbEw.exe are the stand-in that records its command line. The session
// end goes to a log file; every manager the test started has ended when it ends.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/presskeys.h"
#include "support/testutil.h"
#include "toolkit/strings.h"

namespace qb_test {

inline const std::string kGeneral = "Options\\General";

inline bool WaitFor(const std::function<bool()>& done, unsigned ms = 15000) { return qbtest::WaitUntil(done, ms); }

inline std::vector<std::string> Lines(const std::string& file) { return qbtest::FileLines(file); }

// The texts of a box's static controls joined by new lines (its message and caption
// lines); a box is found by its class "TMessageForm".
inline std::string BoxText(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[32] = {0};
        GetClassNameW(w, cls, 32);
        if (lstrcmpiW(cls, L"Static") == 0) {
          wchar_t buf[2048] = {0};
          GetWindowTextW(w, buf, 2048);
          if (buf[0]) *reinterpret_cast<std::string*>(p) += tk::Narrow(buf) + "\n";
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// Presses the button of a box by its text.
inline bool PressButton(HWND box, const std::string& text) {
  HWND b = static_cast<HWND>(qbtest::FindChildByText(box, text));
  if (!b) return false;
  PostMessageW(b, BM_CLICK, 0, 0);
  return true;
}

// Clicks the button of a wizard by its text and waits until the wizard shows another page
// or has closed, or a box of the manager came (then in box); false when there is no such
// button.
inline bool TurnPage(qbtest::ChildProcess& manager, HWND wizard, const std::string& button, HWND* box) {
  *box = nullptr;
  HWND b = static_cast<HWND>(qbtest::FindChildByText(wizard, button));
  if (!b) return false;
  qbtest::ClickUntilChanged(wizard, b, [&] {
    *box = static_cast<HWND>(manager.FindProcessWindow(L"TMessageForm", 0));
    return *box != nullptr;
  });
  return true;
}

// The three list views of a main window: lvProfiles, lvMcProfiles, lvMcProfiles2 (told
// apart by their column counts and the icon column of the computer list).
struct TLists {
  HWND Profiles = nullptr, McProfiles = nullptr, Computers = nullptr;
};
inline TLists FindLists(HWND main) {
  std::vector<HWND> lists;
  EnumChildWindows(
      main,
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[32] = {0};
        GetClassNameW(w, cls, 32);
        if (lstrcmpW(cls, L"SysListView32") == 0) reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&lists));
  TLists found;
  for (HWND w : lists) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(w, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    if (columns == 1) found.McProfiles = w;
    else if (SendMessageW(w, LVM_GETCOLUMNWIDTH, 0, 0) == 24) found.Computers = w;
    else found.Profiles = w;
  }
  return found;
}

// The texts of every row of a list view of another process (caption, then each column).
inline std::vector<std::vector<std::string>> ReadRows(HWND list) {
  std::vector<std::vector<std::string>> rows;
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return rows;
  constexpr SIZE_T kText = 512;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kText * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < count && remote; ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < columns; ++c) {
      LVITEMW item{};
      item.iSubItem = c;
      item.cchTextMax = static_cast<int>(kText);
      item.pszText = reinterpret_cast<LPWSTR>(remote + sizeof(LVITEMW));
      WriteProcessMemory(process, remote, &item, sizeof(item), nullptr);
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(remote));
      wchar_t text[kText] = {0};
      ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof(text) - sizeof(wchar_t), nullptr);
      row.push_back(tk::Narrow(text));
    }
    rows.push_back(row);
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return rows;
}

// Chooses an item of the menu at position menu of the menu bar, counted from the menu's
// end, with the keys a user would press (menus cannot be read across processes): F10,
// Right to the menu, Down to open it, Up to the item, Enter. False when a key was lost.
inline bool ChooseMenuItemFromEnd(HWND main, int menu, int fromEnd) {
  qbtest::BringForward(main);
  std::vector<WORD> keys{VK_F10};
  for (int i = 0; i < menu; ++i) keys.push_back(VK_RIGHT);
  keys.push_back(VK_DOWN);
  for (int i = 0; i < fromEnd; ++i) keys.push_back(VK_UP);
  keys.push_back(VK_RETURN);
  return qbtest::PressKeys(keys);
}
inline bool ChooseLastMenuItem(HWND main, int menu) { return ChooseMenuItemFromEnd(main, menu, 1); }

// The window of class cls that a menu item opens in the manager. Keys typed while the
// loaded desktop is still bringing the window forward can be lost, so when one was, or
// nothing came, any open menu is closed and the item chosen again, three times at most.
inline HWND OpenFromMenu(qbtest::ChildProcess& manager, HWND main, int menu, int fromEnd, const wchar_t* cls,
                         unsigned waitMs = 15000) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (ChooseMenuItemFromEnd(main, menu, fromEnd))
      if (HWND w = static_cast<HWND>(manager.FindProcessWindow(cls, waitMs))) return w;
    qbtest::PressKeys({VK_ESCAPE, VK_ESCAPE});
  }
  return nullptr;
}

// Types a shortcut into the foreground manager window w as a user does; mods are held
// meanwhile. False when the keys were lost.
inline bool TypeKey(HWND w, std::initializer_list<WORD> mods, WORD key) {
  qbtest::BringForward(w);
  std::vector<INPUT> in;
  auto add = [&in](WORD vk, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
  };
  for (WORD m : mods) add(m, false);
  add(key, false);
  add(key, true);
  for (auto m = std::rbegin(mods); m != std::rend(mods); ++m) add(*m, true);
  return qbtest::TypeInput(in);
}

// The window of class cls that a shortcut typed to the manager's main window opens. A key
// typed while the activation is still on its way (just after a dialog closed or another
// program ended) is lost, so when it was, or nothing came, it is typed again, three times
// at most; a box that came instead fails the test with its text.
inline HWND OpenByKey(qbtest::ChildProcess& manager, HWND main, std::initializer_list<WORD> mods, WORD key,
                      const wchar_t* cls, unsigned waitMs = 8000) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!TypeKey(main, mods, key)) continue;
    if (HWND w = static_cast<HWND>(manager.FindProcessWindow(cls, waitMs))) return w;
  }
  if (HWND box = static_cast<HWND>(manager.FindProcessWindow(L"TMessageForm", 200)))
    ADD_FAILURE() << "unexpected box: " << BoxText(box);
  return nullptr;
}

class QbProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    qbtest::RegWrite(kGeneral, "DoNotVerifyAppFileVersions", "1");
    Install(dir_.path());
    SetEnvironmentVariableW(L"QB_STUB_LOG", tk::Widen(dir_ / "stub.log").c_str());
    SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(dir_ / "session.log").c_str());
  }
  void TearDown() override {
    for (auto& p : started_) {
      if (p->Running()) {
        for (HWND box; (box = static_cast<HWND>(p->FindProcessWindow(L"TMessageForm", 200)));)
          PostMessageW(box, WM_CLOSE, 0, 0);
        if (HWND w = static_cast<HWND>(p->FindProcessWindow(L"TMainForm", 200))) PostMessageW(w, WM_CLOSE, 0, 0);
      }
      p->Wait(10000);
    }
    started_.clear();
    qbtest::ClearQuillbankKey();
  }

  // Qb.exe (under the given name) and the stand-ins into folder.
  static void Install(const std::string& folder, const std::string& qbName = "Qb.exe") {
    qbtest::MakeDirs(folder);
    CopyFileW(tk::Widen(qbtest::BinDir() + "Qb.exe").c_str(), tk::Widen(folder + qbName).c_str(), FALSE);
    for (const char* name : {"RunQb.exe", "QbSch.exe", "QbEw.exe"})
      CopyFileW(tk::Widen(qbtest::BinDir() + "stub_runqb.exe").c_str(), tk::Widen(folder + name).c_str(), FALSE);
  }

  qbtest::ChildProcess& Start(const std::string& args = "", const std::string& exe = "") {
    started_.push_back(std::make_unique<qbtest::ChildProcess>());
    started_.back()->Start(exe.empty() ? dir_ / "Qb.exe" : exe, args);
    return *started_.back();
  }

  // A manager started and its main window shown; nullptr when none came.
  HWND StartMain(const std::string& args = "") {
    qbtest::ChildProcess& p = Start(args);
    mainProcess_ = &p;
    HWND w = static_cast<HWND>(p.FindProcessWindow(L"TMainForm"));
    if (w) Settle(w);
    return w;
  }

  // Lets the manager handle everything sent so far.
  static void Settle(HWND w) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored);
  }

  // Closes a manager (the one started last unless given) through its close box; its
  // exit code.
  int CloseMain(HWND w, qbtest::ChildProcess* process = nullptr) {
    PostMessageW(w, WM_CLOSE, 0, 0);
    return (process ? process : started_.back().get())->Wait(15000);
  }

  std::vector<std::string> StubRuns() { return Lines(dir_ / "stub.log"); }
  std::vector<std::string> SessionRequests() { return Lines(dir_ / "session.log"); }

  static void AddProfile(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> values) {
    qbtest::RegWrite("Profiles\\" + name, "pn", name);
    for (const auto& [value, text] : values) qbtest::RegWrite("Profiles\\" + name, value, text);
  }
  static void ListProfiles(const std::vector<std::string>& names) {
    qbtest::RegWrite("Profile Names", "ProfileCount", std::to_string(names.size()));
    for (size_t i = 0; i < names.size(); ++i) qbtest::RegWrite("Profile Names", "P" + std::to_string(i), names[i]);
  }

  qbtest::TempDir dir_;
  qbtest::ChildProcess* mainProcess_ = nullptr;  // of the last StartMain
  std::vector<std::unique_ptr<qbtest::ChildProcess>> started_;
};

}  // namespace qb_test
