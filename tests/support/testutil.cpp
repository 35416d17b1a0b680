#include "support/testutil.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "toolkit/strings.h"

namespace qbtest {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string WithSlash(std::string p) {
  if (!p.empty() && p.back() != '\\') p += '\\';
  return p;
}

const wchar_t kRoot[] = L"Software\\Quillbank";

}  // namespace

std::string ToWinPath(const std::string& unixPath) {
  std::string s = "Z:" + unixPath;
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

std::string ToUnixPath(const std::string& winPath) {
  using Fn = char*(__cdecl*)(const wchar_t*);
  static Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) throw std::runtime_error("not running under Wine");
  char* u = fn(tk::Widen(winPath).c_str());
  if (!u) return {};
  std::string r = u;
  HeapFree(GetProcessHeap(), 0, u);
  return r;
}

bool FrameSetUp() { return Env("QB_FRAME_SET_UP") == "1"; }

std::string BinDir() { return WithSlash(ToWinPath(Env("QB_BIN_DIR"))); }
std::string SourceDir() { return WithSlash(ToWinPath(Env("QB_SOURCE_DIR"))); }

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  for (;;) {
    std::string p = tk::Narrow(tmp) + "qbtest-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount64()) + "-" + std::to_string(counter++);
    if (CreateDirectoryW(tk::Widen(p).c_str(), nullptr)) {
      path_ = WithSlash(p);
      return;
    }
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
  std::string base = path;
  while (!base.empty() && base.back() == '\\') base.pop_back();
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(tk::Widen(base + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::wstring n = fd.cFileName;
      if (n == L"." || n == L"..") continue;
      std::string full = base + "\\" + tk::Narrow(n);
      SetFileAttributesW(tk::Widen(full).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileW(tk::Widen(full).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(tk::Widen(base).c_str());
}

void MakeDirs(const std::string& path) {
  std::string acc;
  for (size_t i = 0; i < path.size(); ++i) {
    acc += path[i];
    if ((path[i] == '\\' || i + 1 == path.size()) && acc.size() > 3) CreateDirectoryW(tk::Widen(acc).c_str(), nullptr);
  }
}

void WriteFile(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileW(tk::Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20)), wrote = 0;
    ::WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr);
    done += wrote;
  }
  CloseHandle(h);
}

std::string ReadFile(const std::string& path) {
  // Shared for deleting too: a program that has just renamed the file into place may still
  // hold it with delete access for a moment.
  HANDLE h = CreateFileW(tk::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  std::string out;
  char buf[65536];
  DWORD got = 0;
  while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

bool Exists(const std::string& path) { return GetFileAttributesW(tk::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> ListDir(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(tk::Widen(WithSlash(folder) + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring n = fd.cFileName;
    if (n != L"." && n != L"..") names.push_back(tk::Narrow(n));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

namespace {
int Run(const std::wstring& app, std::wstring cmd, unsigned timeoutMs, HANDLE out) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (out) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(app.empty() ? nullptr : app.c_str(), cmd.data(), nullptr, nullptr, out ? TRUE : FALSE, 0,
                      nullptr, nullptr, &si, &pi))
    return -1;
  CloseHandle(pi.hThread);
  int rc;
  if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
    rc = -2;
  } else {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    rc = static_cast<int>(code);
  }
  CloseHandle(pi.hProcess);
  return rc;
}
}  // namespace

int RunProgram(const std::string& exe, const std::string& args, unsigned timeoutMs) {
  std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
  return Run(tk::Widen(exe), tk::Widen(cmd), timeoutMs, nullptr);
}

int RunCommandLine(const std::string& commandLine, unsigned timeoutMs) {
  return Run(L"", tk::Widen(commandLine), timeoutMs, nullptr);
}

ChildProcess::~ChildProcess() {
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
  }
  CloseHandle(process_);
}

bool ChildProcess::Start(const std::string& exe, const std::string& args) {
  if (process_) return false;
  std::wstring cmd = tk::Widen("\"" + exe + "\"" + (args.empty() ? "" : " " + args));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(tk::Widen(exe).c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  id_ = pi.dwProcessId;
  return true;
}

bool ChildProcess::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

int ChildProcess::Wait(unsigned timeoutMs, bool pumpMessages) {
  if (!process_) return -1;
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  bool ended = false;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    const DWORD left = static_cast<DWORD>(end - now);
    HANDLE h = process_;
    const DWORD r = pumpMessages ? MsgWaitForMultipleObjects(1, &h, FALSE, left, QS_ALLINPUT)
                                 : WaitForSingleObject(h, left);
    if (r == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  int rc = -2;
  if (ended) {
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    rc = static_cast<int>(code);
  } else {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 30000);
  }
  if (pumpMessages) {
    // What the program posted just before it ended.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  CloseHandle(process_);
  process_ = nullptr;
  return rc;
}

void* ChildProcess::FindProcessWindow(const wchar_t* className, unsigned timeoutMs, bool mustBeVisible) const {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  do {
    for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w;
         w = FindWindowExW(nullptr, w, className, nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      // Visible: the window and its controls are complete.
      if (pid == id_ && (IsWindowVisible(w) || !mustBeVisible)) return w;
    }
    Sleep(20);
  } while (GetTickCount64() < end);
  return nullptr;
}

std::vector<TRunningProgram> ProgramsRunningFrom(const std::string& folder) {
  std::vector<TRunningProgram> found;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return found;
  const std::string lower = tk::LowerCase(folder);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (!h) continue;
    wchar_t image[MAX_PATH] = {0};
    DWORD size = MAX_PATH;
    const bool named = QueryFullProcessImageNameW(h, 0, image, &size) != 0;
    DWORD code = 0;
    const bool alive = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    if (!named || !alive) continue;
    std::string path = tk::LowerCase(tk::Narrow(image));
    if (path.rfind(lower, 0) == 0) found.push_back({entry.th32ProcessID, std::move(path)});
  }
  CloseHandle(snap);
  return found;
}

std::string OutputOfStarted(const std::string& program, const std::string& file, unsigned ms) {
  std::string text;
  const std::string lower = tk::LowerCase(program);
  WaitUntil(
      [&] {
        if (Exists(file)) {
          try {
            text = ReadFile(file);
            return true;
          } catch (const std::exception&) {  // met half renamed: read again
            return false;
          }
        }
        for (const TRunningProgram& p : ProgramsRunningFrom(program))
          if (p.Program == lower) return false;
        return !Exists(file);  // written just before it ended: read at the next turn
      },
      ms);
  return text;
}

std::string WindowText(void* window) {
  wchar_t buf[1024];
  const int n = GetWindowTextW(static_cast<HWND>(window), buf, 1024);
  return tk::Narrow(std::wstring_view(buf, static_cast<size_t>(n > 0 ? n : 0)));
}

bool EditShowsAllItsText(void* edit) {
  HWND ed = static_cast<HWND>(edit);
  const std::wstring text = tk::Widen(WindowText(ed));
  HDC dc = GetDC(ed);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(ed, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(ed, dc);
  RECT room{};
  SendMessageW(ed, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
  return extent.cx <= room.right - room.left;
}

std::vector<std::pair<int, int>> InkRows(void* window, int inset) {
  const HWND w = static_cast<HWND>(window);
  RedrawWindow(GetAncestor(w, GA_ROOT), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r{};
  GetClientRect(w, &r);
  HDC dc = GetDC(w);
  std::vector<std::pair<int, int>> rows;
  for (int y = inset; y < r.bottom - inset; ++y) {
    std::pair<int, int> ink{-1, -1};
    for (int x = inset; x < r.right - inset; ++x)
      if (GetRValue(GetPixel(dc, x, y)) < 100) ink = {ink.first < 0 ? x : ink.first, x};
    rows.push_back(ink);
  }
  ReleaseDC(w, dc);
  return rows;
}

std::map<unsigned long, int> Colours(void* window) {
  const HWND w = static_cast<HWND>(window);
  RECT r{};
  GetClientRect(w, &r);
  HDC dc = GetDC(w);
  std::map<unsigned long, int> count;
  for (int y = 0; y < r.bottom; ++y)
    for (int x = 0; x < r.right; ++x) ++count[GetPixel(dc, x, y)];
  ReleaseDC(w, dc);
  return count;
}

void* FindChildByText(void* parent, const std::string& text) {
  struct Search {
    std::string text;
    HWND found = nullptr;
  } search{text, nullptr};
  EnumChildWindows(
      static_cast<HWND>(parent),
      [](HWND w, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        if (WindowText(w) == s->text) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int RunUnix(const std::string& shellCommand, std::string* output, unsigned timeoutMs) {
  // Wine starts a Linux program without a process handle, so the script itself reports
  // its exit code through a file that appears only when it is complete.
  TempDir dir;
  std::string outFile = dir / "out.txt", rcFile = dir / "rc";
  std::string script = dir / "cmd.sh";
  WriteFile(script, "( " + shellCommand + "\n) >'" + ToUnixPath(outFile) + "' 2>&1 </dev/null\necho $? >'" +
                        ToUnixPath(rcFile) + ".tmp'\nmv '" + ToUnixPath(rcFile) + ".tmp' '" + ToUnixPath(rcFile) + "'\n");
  std::wstring cmd = tk::Widen("/bin/sh " + ToUnixPath(script));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(L"Z:\\bin\\sh", cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!Exists(rcFile)) {
    if (GetTickCount64() > end) return -2;
    Sleep(10);
  }
  if (output) *output = Exists(outFile) ? ReadFile(outFile) : std::string();
  return std::atoi(ReadFile(rcFile).c_str());
}

void ClearQuillbankKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kRoot); RegDeleteKeyW(HKEY_CURRENT_USER, kRoot); }

std::string RegRead(const std::string& subkey, const std::string& value) {
  std::wstring key = kRoot;
  if (!subkey.empty()) key += L"\\" + tk::Widen(subkey);
  HKEY h;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<missing>";
  wchar_t buf[32768];
  DWORD size = sizeof buf, type = 0;
  LONG r = RegQueryValueExW(h, tk::Widen(value).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  if (r != ERROR_SUCCESS) return "<missing>";
  std::wstring w(buf, size / sizeof(wchar_t));
  while (!w.empty() && w.back() == L'\0') w.pop_back();
  return tk::Narrow(w);
}

std::vector<std::string> RegValueNames(const std::string& subkey) {
  std::vector<std::string> names;
  std::wstring key = kRoot;
  if (!subkey.empty()) key += L"\\" + tk::Widen(subkey);
  HKEY h;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD len = 16384;
    if (RegEnumValueW(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(tk::Narrow(std::wstring(name, len)));
  }
  RegCloseKey(h);
  std::sort(names.begin(), names.end());
  return names;
}

void RegWrite(const std::string& subkey, const std::string& value, const std::string& text) {
  std::wstring key = kRoot;
  if (!subkey.empty()) key += L"\\" + tk::Widen(subkey);
  HKEY h;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create key");
  std::wstring w = tk::Widen(text);
  RegSetValueExW(h, tk::Widen(value).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                 static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
}

int CloseOwnWindows(const std::string& why) {
  struct TCtx {
    const std::string* Why;
    int Count = 0;
  } ctx{&why};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* c = reinterpret_cast<TCtx*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != GetCurrentProcessId() || !IsWindowVisible(w)) return TRUE;
        wchar_t cls[64] = {}, title[128] = {};
        GetClassNameW(w, cls, 64);
        GetWindowTextW(w, title, 128);
        std::fprintf(stderr, "%s: closing the window left open: class \"%ls\" title \"%ls\"\n", c->Why->c_str(), cls,
                     title);
        if (lstrcmpW(cls, L"#32770") == 0) PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
        PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(w, WM_CLOSE, 0, 0);
        ++c->Count;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&ctx));
  std::fflush(stderr);
  return ctx.Count;
}

TPerson::TPerson(std::function<void()> part)
    : thread_([this, part = std::move(part)] {
        part();
        // Up to 10 s for the modal call to end by itself, then up to 30 s of closing.
        for (int i = 0; i < 200 && !done_; ++i) Sleep(50);
        for (int i = 0; i < 30 && !done_; ++i) {
          CloseOwnWindows("the window was still open 10 s after the answer");
          for (int j = 0; j < 20 && !done_; ++j) Sleep(50);
        }
      }) {}

TPerson::~TPerson() {
  done_ = true;
  thread_.join();
}

std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  if (!Exists(path)) return lines;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

bool WaitUntil(const std::function<bool()>& done, unsigned ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

}  // namespace qbtest
