#include "toolkit/win_imagelist.h"

namespace tk {

TImageList::TImageList(int width, int height)
    : list_(ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 4, 4)), width_(width), height_(height) {}

TImageList::~TImageList() {
  if (list_) ImageList_Destroy(list_);
}

int TImageList::Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }

int TImageList::AddIcon(HICON icon) { return list_ && icon ? ImageList_AddIcon(list_, icon) : -1; }

int TImageList::AddMasked(HBITMAP image, COLORREF mask) {
  return list_ && image ? ImageList_AddMasked(list_, image, mask) : -1;
}

void TImageList::Clear() {
  if (list_) ImageList_RemoveAll(list_);
}

HICON TImageList::GetIcon(int index) const {
  if (!list_ || index < 0 || index >= Count()) return nullptr;
  return ImageList_GetIcon(list_, index, ILD_NORMAL);
}

bool TImageList::Draw(HDC dc, int x, int y, int index, bool enabled) const {
  if (!list_ || index < 0 || index >= Count()) return false;
  if (enabled) return ImageList_Draw(list_, index, dc, x, y, ILD_NORMAL) != FALSE;
  // Disabled: the image blended half with the button face.
  return ImageList_DrawEx(list_, index, dc, x, y, 0, 0, CLR_NONE, GetSysColor(COLOR_BTNFACE), ILD_BLEND50) != FALSE;
}

}  // namespace tk
