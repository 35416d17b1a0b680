// Stands in for QbEw.exe in a copied program folder: appends its command line as one
// UTF-8 line to the file named by QB_VIEWER_LOG and ends at once, so a test sees what
// the runner handed to the viewer and nothing waits for a dialog.
#include <windows.h>

#include <cstdio>
#include <string>

#include "toolkit/strings.h"

int wmain() {
  const wchar_t* log = _wgetenv(L"QB_VIEWER_LOG");
  if (!log || !*log) return 2;
  const std::string line = tk::Narrow(GetCommandLineW()) + "\n";
  // Written to a side file and renamed, so a reader never sees half a line.
  const std::wstring part = std::wstring(log) + L".part";
  FILE* f = _wfopen(part.c_str(), L"wb");
  if (!f) return 3;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
  return MoveFileExW(part.c_str(), log, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
