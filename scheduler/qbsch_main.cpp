#include <windows.h>

#include "scheduler/qbsch.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return SchedulerMain(); }
