// Stands in for the programs the scheduler starts (RunQb.exe, Qb.exe, QbEw.exe): appends
// its own name, its arguments and the hand-off values it finds to the file named by
// QB_STUB_LOG, then ends.
#include <windows.h>

#include <string>

namespace {

std::wstring Value(const wchar_t* name) {
  wchar_t buf[512] = {0};
  DWORD size = sizeof(buf);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quillbank\\Options\\General", name, RRF_RT_REG_SZ, nullptr,
                   buf, &size) != ERROR_SUCCESS)
    return L"<missing>";
  return buf;
}

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

}  // namespace

int wmain() {
  std::wstring line = GetCommandLineW();
  // The words after the program's own name.
  size_t pos = 0;
  if (!line.empty() && line[0] == L'"') pos = line.find(L'"', 1);
  else pos = line.find(L' ');
  std::wstring args = pos == std::wstring::npos ? L"" : line.substr(pos + 1);
  if (!args.empty() && args[0] == L' ') args.erase(0, 1);

  wchar_t self[MAX_PATH] = {0};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring name = self;
  name = name.substr(name.find_last_of(L"\\/") + 1);

  std::wstring record = name + L"|" + args + L"|RFS=" + Value(L"bRunFromScheduler") +
                        L"|RVA=" + Value(L"bRunViaAutoRun") + L"|MSG=" + Value(L"sMsgBeforeAutoRun") +
                        L"|MEDIA=" + Value(L"sMediaInserted") + L"|DESEL=" + Value(L"sProfilesToDeselect") +
                        L"|WS=" + Value(L"WinShutdown") + L"|RSP=" + Value(L"bRunningShutdownProfiles") + L"\n";
  wchar_t logName[MAX_PATH] = {0};
  if (!GetEnvironmentVariableW(L"QB_STUB_LOG", logName, MAX_PATH)) return 2;
  // Several stand-ins may end at once: retry while another holds the file.
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE h = CreateFileW(logName, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      const std::string bytes = Utf8(record);
      DWORD written = 0;
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
      CloseHandle(h);
      return 0;
    }
    Sleep(10);
  }
  return 1;
}
