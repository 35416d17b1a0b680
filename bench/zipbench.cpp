// Zips one folder with dzip32.dll through its command record, as the runner does, and
// prints "<seconds> <zip bytes> <result> <processor seconds>" (the processor time of every
// thread of the call, the library's workers included). Usage: zipbench <folder> <zip> <factor> [-u] [password]
// (factors 11..19 write Deflate64; -u updates the zip there instead of writing a new one;
// a password encrypts every file).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/processor_time.h"
#include "toolkit/strings.h"
#include "ziplib/dzrecords.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: zipbench <folder> <zip> <factor> [-u] [password]\n");
    return 2;
  }
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  dir = dir.substr(0, dir.find_last_of(L'\\') + 1);
  HMODULE m = LoadLibraryW((dir + L"dzip32.dll").c_str());
  auto fn = m ? reinterpret_cast<dz::DZipFn>(reinterpret_cast<void*>(GetProcAddress(m, "dzip"))) : nullptr;
  if (!fn) {
    std::fprintf(stderr, "dzip32.dll not found beside zipbench.exe\n");
    return 2;
  }
  const std::string folder = tk::Narrow(argv[1]), zip = tk::Narrow(argv[2]);
  int arg = 4;
  const bool update = argc > arg && std::wstring(argv[arg]) == L"-u";
  if (update) ++arg;
  const std::string password = argc > arg ? tk::Narrow(argv[arg]) : std::string();
  const std::string items = "\"" + folder + "\\*.*\"";
  if (!update) DeleteFileW(argv[2]);
  dz::ZipCmdRecord r{};
  dz::DzCallbackSubRecord sub{};
  sub.size = sizeof sub;
  r.recordSize = sizeof r;
  r.functionCode = update ? dz::ZIP_UPDATE : dz::ZIP_ADD;
  r.lpszZipFile = zip.c_str();
  r.lpszItemList = items.c_str();
  r.CompFactor = _wtoi(argv[3]);
  r.RecurseFlag = dz::kDzTrue;
  r.QuietFlag = dz::kDzTrue;
  r.wZipSubOptions = dz::ZSO_RELATIVEPATH | dz::ZSO_MINORCANCEL;
  r.lpCallbackSubRecord = &sub;
  if (!password.empty()) {
    r.EncryptFlag = dz::kDzTrue;
    r.lpszEncryptCode = password.c_str();
  }
  const double cpu0 = ProcessorSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const int rc = fn(&r);
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpuSecs = ProcessorSeconds() - cpu0;
  WIN32_FILE_ATTRIBUTE_DATA fa{};
  GetFileAttributesExW(argv[2], GetFileExInfoStandard, &fa);
  const unsigned long long size = (static_cast<unsigned long long>(fa.nFileSizeHigh) << 32) | fa.nFileSizeLow;
  std::printf("%.3f %llu %d %.3f\n", secs, size, rc, cpuSecs);
  return rc;
}
