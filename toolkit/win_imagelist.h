#pragma once
// An image list of 32-bit images with masks, shared by the forms that show it.
#include <windows.h>
#include <commctrl.h>

namespace tk {

class TImageList {
 public:
  explicit TImageList(int width = 16, int height = 16);
  ~TImageList();
  TImageList(const TImageList&) = delete;
  TImageList& operator=(const TImageList&) = delete;

  HIMAGELIST Handle() const { return list_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const;
  // Adds a copy of the icon; returns its index, -1 on failure.
  int AddIcon(HICON icon);
  // Adds a bitmap whose pixels of colour mask are transparent.
  int AddMasked(HBITMAP image, COLORREF mask);
  void Clear();
  HICON GetIcon(int index) const;  // a new icon the caller destroys
  bool Draw(HDC dc, int x, int y, int index, bool enabled = true) const;

 private:
  HIMAGELIST list_;
  int width_, height_;
};

}  // namespace tk
