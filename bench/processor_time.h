#pragma once
// The processor time of every thread of this process so far, in seconds (user and kernel).
#include <windows.h>

inline double ProcessorSeconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto v = [](const FILETIME& f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return static_cast<double>(v(kernel) + v(user)) / 1e7;
}
