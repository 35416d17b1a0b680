// dzip32.dll: the compression entry `dzip`, exported undecorated.
#include <windows.h>

#include <atomic>

#include "ziplib/dzip_edge.h"

namespace {
// One call at a time: a second call (from a callback, or from another thread) is refused.
std::atomic<bool> g_busy{false};
}  // namespace

extern "C" __declspec(dllexport) int32_t __stdcall dzip(dz::ZipCmdRecord* record) {
  if (record == nullptr || record->recordSize != sizeof(dz::ZipCmdRecord)) return dz::ZE_PARMS;
  bool expected = false;
  if (!g_busy.compare_exchange_strong(expected, true)) return dz::ZE_BUSY;
  const int32_t rc = ziplib::DzipExecute(*record);
  g_busy = false;
  return rc;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
