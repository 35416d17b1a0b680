// Tests or extracts one zip with dunzip32.dll through its command record, as the runner
// does, and prints "<seconds> <result>". Usage: unzipbench <zip> -t | <destination folder>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "toolkit/strings.h"
#include "ziplib/dzrecords.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: unzipbench <zip> -t | <destination folder>\n");
    return 2;
  }
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir = dir.substr(0, dir.find_last_of(L'\\') + 1);
  HMODULE m = LoadLibraryW((dir + L"dunzip32.dll").c_str());
  auto fn = m ? reinterpret_cast<dz::DUnzipFn>(reinterpret_cast<void*>(GetProcAddress(m, "dunzip"))) : nullptr;
  if (!fn) {
    std::fprintf(stderr, "dunzip32.dll not found beside unzipbench.exe\n");
    return 2;
  }
  const std::string zip = tk::Narrow(argv[1]), dest = tk::Narrow(argv[2]);
  const bool test = dest == "-t";
  dz::ExtractAllCommand command(zip.c_str(), test ? nullptr : dest.c_str());
  const auto t0 = std::chrono::steady_clock::now();
  const int rc = fn(&command.record);
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%.3f %d\n", secs, rc);
  return rc;
}
