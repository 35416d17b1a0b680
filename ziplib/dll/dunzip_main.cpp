// dunzip32.dll: the extraction entry of the zip library (list, count, test, extract).
#include <windows.h>

#include "ziplib/dzip_edge.h"

extern "C" __declspec(dllexport) int32_t __stdcall dunzip(dz::UnzipCmdRecord* record) {
  return ziplib::DunzipExecute(record);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
