#include "controls/shadowhint.h"

#include <memory>

namespace g32 {

TOsVersion RunningOsVersion() {
  // The real version: the version call of the API may answer an older one to
  // programs without a compatibility manifest.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  auto fn = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (!fn || fn(&vi) != 0) return {};
  return {vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion};
}

bool SystemDrawsShadows(const TOsVersion& v) {
  return v.PlatformId == VER_PLATFORM_WIN32_NT && (v.Major > 5 || (v.Major == 5 && v.Minor >= 1));
}

void TShadowedHintWindow::CreateParams(tk::TCreateParams& p) {
  THintWindow::CreateParams(p);
  if (SystemDrawsShadows(RunningOsVersion())) p.ClassStyle |= CS_DROPSHADOW;
}

bool InitHintShadow() {
  static bool done = false;
  if (done) return false;
  done = true;
  tk::SetHintWindowClass([] { return std::make_unique<TShadowedHintWindow>(); });
  return true;
}

namespace {
// Start-up of the unit, before any form exists.
const bool g_hintShadowInstalled = InitHintShadow();
}  // namespace

}  // namespace g32
