// A compression run that ends itself without warning at its n-th callback, as a run killed
// by the user or the system would: nothing after that point runs, no clean-up, no unwinding.
// Arguments: the folder of the DLLs, the item list, the zip, n (0: never; -1: at the major
// callback of 100 percent, once the new zip is written and before it takes the old one's
// place), [the temp folder]. With the item list "-x" and a destination after n, the run is
// an extraction of the zip's items into that folder (overwriting) instead.
// Exit code: 77 when it ended itself, else 1000 + the number of callbacks after success,
// else the library's result code.
#include <windows.h>

#include <string>

#include "toolkit/strings.h"
#include "ziplib/dzrecords.h"

namespace {
int g_calls = 0, g_killAt = 0;
int32_t __stdcall Progress(const char*, int32_t percent, void* major) {
  if (++g_calls == g_killAt || (major && g_killAt < 0 && percent == 100)) TerminateProcess(GetCurrentProcess(), 77);
  return 0;
}
int32_t __stdcall Message(int32_t, int32_t, int32_t, int32_t, char*, char*, void*) { return 0; }
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) return 2;
  if (std::wstring(argv[2]) == L"-x") {
    HMODULE u = LoadLibraryW((std::wstring(argv[1]) + L"\\dunzip32.dll").c_str());
    auto unzip = u ? reinterpret_cast<dz::DUnzipFn>(reinterpret_cast<void*>(GetProcAddress(u, "dunzip"))) : nullptr;
    if (!unzip || argc < 6) return 3;
    const std::string zip = tk::Narrow(argv[3]), dest = tk::Narrow(argv[5]);
    g_killAt = _wtoi(argv[4]);
    dz::ExtractAllCommand command(zip.c_str(), dest.c_str());
    command.record.MajorCallback = command.record.MinorCallback = Progress;
    command.record.MessageCallback = Message;
    const int rc = unzip(&command.record);
    return rc == 0 ? 1000 + g_calls : rc;
  }
  HMODULE m = LoadLibraryW((std::wstring(argv[1]) + L"\\dzip32.dll").c_str());
  auto fn = m ? reinterpret_cast<dz::DZipFn>(reinterpret_cast<void*>(GetProcAddress(m, "dzip"))) : nullptr;
  if (!fn) return 3;
  const std::string items = tk::Narrow(argv[2]), zip = tk::Narrow(argv[3]);
  const std::string temp = argc > 5 ? tk::Narrow(argv[5]) : std::string();
  g_killAt = _wtoi(argv[4]);
  dz::ZipCmdRecord r{};
  dz::DzCallbackSubRecord sub{};
  r.recordSize = sizeof r;
  sub.size = sizeof sub;
  r.lpCallbackSubRecord = &sub;
  r.functionCode = dz::ZIP_ADD;
  r.CompFactor = 9;
  r.QuietFlag = dz::kDzTrue;
  r.RecurseFlag = dz::kDzTrue;
  r.lpszItemList = items.c_str();
  r.lpszZipFile = zip.c_str();
  if (!temp.empty()) {
    r.PathForTempFlag = dz::kDzTrue;
    r.lpszTempPath = temp.c_str();
  }
  r.MajorCallback = Progress;
  r.majorUserData = &r;
  r.MinorCallback = Progress;
  r.MessageCallback = Message;
  const int rc = fn(&r);
  return rc == 0 ? 1000 + g_calls : rc;
}
