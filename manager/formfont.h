#pragma once
// The fonts the manager's windows are designed with.
#include "toolkit/win_canvas.h"

inline tk::TFontSpec FontOf(const char* name, int points, bool bold = false) {
  tk::TFontSpec f;
  f.Name = name;
  f.Height = tk::TFontSpec::HeightForPoints(points);
  f.Bold = bold;
  return f;
}
