#pragma once
// Images drawn in code for an image list or a button's glyph: the program paints each
// picture with GDI on a background whose colour becomes transparent.
#include <windows.h>

#include <functional>

#include "toolkit/win_imagelist.h"

namespace tk {

// The colour that stays transparent in a drawn image (never used by a drawing).
constexpr COLORREF kDrawnImageBack = RGB(255, 0, 255);
using TDrawImage = std::function<void(HDC dc, int width, int height)>;

// A 32-bit bitmap of the size painted by draw (which gets the DC and the size) over
// the transparent colour; the caller deletes it. nullptr on failure.
HBITMAP DrawnBitmap(int width, int height, const TDrawImage& draw);
// Paints one image of the list's size and adds it; returns its index, -1 on failure.
int AddDrawnImage(TImageList& list, const TDrawImage& draw);

}  // namespace tk
