// RunQb.exe: runs one command of the manager or the scheduler with its progress window.
#include <windows.h>

#include "runner/runqbmain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return RunQbMain(); }
