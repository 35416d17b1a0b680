#pragma once
// Images drawn in code for an image list: the program paints each picture with GDI
// on a square whose background colour becomes transparent.
#include <windows.h>

#include <functional>

#include "toolkit/win_imagelist.h"

namespace tk {

// The colour that stays transparent in a drawn image (never used by a drawing).
constexpr COLORREF kDrawnImageBack = RGB(255, 0, 255);
// Paints one image of the list's size (draw gets the DC and the size) and adds it;
// returns its index, -1 on failure.
int AddDrawnImage(TImageList& list, const std::function<void(HDC dc, int width, int height)>& draw);

}  // namespace tk
