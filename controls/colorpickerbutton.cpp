#include "controls/colorpickerbutton.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "toolkit/strings.h"

namespace g32 {

using tk::ColorToRGB;
using tk::TCanvas;

const TNamedColor kNamedColorTable[kNamedColors] = {
    {"Black", 0x000000},        {"Brown", 0x003399},       {"Olive Green", 0x003333},  {"Dark Green", 0x003300},
    {"Dark Teal", 0x663300},    {"Dark blue", 0x800000},   {"Indigo", 0x993333},       {"Gray-80%", 0x333333},
    {"Dark Red", 0x000080},     {"Orange", 0x0066FF},      {"Dark Yellow", 0x008080},  {"Green", 0x008000},
    {"Teal", 0x808000},         {"Blue", 0xFF0000},        {"Blue-Gray", 0x996666},    {"Gray-50%", 0x808080},
    {"Red", 0x0000FF},          {"Light Orange", 0x0099FF}, {"Lime", 0x00CC99},        {"Sea Green", 0x669933},
    {"Aqua", 0xCCCC33},         {"Light Blue", 0xFF6633},  {"Violet", 0x800080},       {"Grey-40%", 0x969696},
    {"Pink", 0xFF00FF},         {"Gold", 0x00CCFF},        {"Yellow", 0x00FFFF},       {"Bright Green", 0x00FF00},
    {"Turquoise", 0xFFFF00},    {"Sky Blue", 0xFFCC00},    {"Plum", 0x663399},         {"Gray-25%", 0xC0C0C0},
    {"Rose", 0xCC99FF},         {"Tan", 0x99CCFF},         {"Light Yellow", 0x99FFFF}, {"Light Green", 0xCCFFCC},
    {"Light Turquoise", 0xFFFFCC}, {"Pale Blue", 0xFFCC99}, {"Lavender", 0xFF99CC},     {"White", 0xFFFFFF},
};

const char* const kSystemColorHints[kSystemColors] = {
    "system color: scroll bar",       "system color: background",        "system color: active caption",
    "system color: inactive caption", "system color: menu",              "system color: window",
    "system color: window frame",     "system color: menu text",         "system color: window text",
    "system color: caption text",     "system color: active border",     "system color: inactive border",
    "system color: application workspace", "system color: highlight",    "system color: highlight text",
    "system color: button face",      "system color: button shadow",     "system color: gray text",
    "system color: button text",      "system color: inactive caption text", "system color: button highlight",
    "system color: 3D dark shadow",   "system color: 3D light",          "system color: info text",
    "system color: info background",
};

namespace {

constexpr wchar_t kPopupClass[] = L"TColorPopup";
constexpr wchar_t kCaptureClass[] = L"TColorPickerCapture";
constexpr double kCos30 = 0.86602540378443864676;
constexpr UINT_PTR kHintTimer = 1;

bool IsSystemColor(TColor c) { return (c & 0xFF000000u) == 0x80000000u; }
int Round(double v) { return static_cast<int>(std::lround(v)); }
BYTE ToByte(float f) { return static_cast<BYTE>(std::clamp(Round(255.0 * f), 0, 255)); }

// The accelerator letter of a caption ('&' followed by a letter), 0 for none.
wchar_t Accelerator(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') { ++i; continue; }
    return static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

void Register(const wchar_t* name, WNDPROC proc, UINT style) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

void Fill(HDC dc, const RECT& r, TColor c) {
  HBRUSH b = CreateSolidBrush(ColorToRGB(c));
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void Outline(HDC dc, RECT r, TColor fill, TColor line) {
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(line));
  HBRUSH br = fill == tk::clNone ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)) : CreateSolidBrush(ColorToRGB(fill));
  HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, br);
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(pen);
  if (fill != tk::clNone) DeleteObject(br);
}

void DrawCaption(HDC dc, const std::string& text, RECT r) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(tk::clBtnText));
  std::wstring w = tk::Widen(text);
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

void Hexagon(HDC dc, POINT c, int size, TColor color) {
  POINT pts[6];
  for (int i = 0; i < 6; ++i) {
    double a = (90.0 - 60.0 * i) * 3.14159265358979323846 / 180.0;
    pts[i] = {c.x + Round(size * 0.5 * std::cos(a)), c.y + Round(size * 0.5 * std::sin(a))};
  }
  HBRUSH b = CreateSolidBrush(ColorToRGB(color));
  HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, GetStockObject(NULL_PEN));
  Polygon(dc, pts, 6);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(b);
}

}  // namespace

// ---------------- pop-up

TColorPopup::TColorPopup(TColorPickerButton& owner) : Margin(GetSystemMetrics(SM_CXEDGE)), owner_(owner) {}

TColorPopup::~TColorPopup() {
  if (tip_) DestroyWindow(tip_);
  if (wnd_) DestroyWindow(wnd_);
}

void TColorPopup::CreateWnd() {
  if (wnd_) return;
  Register(kPopupClass, WndProc, CS_SAVEBITS | CS_DBLCLKS);
  wnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, L"", WS_CHILD | WS_CLIPSIBLINGS, -1000, 0,
                         10, 10, GetDesktopWindow(), nullptr, GetModuleHandleW(nullptr), this);
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0,
                         wnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tip_) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    ti.hwnd = wnd_;
    ti.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  LayoutPopup();
}

void TColorPopup::LayoutPopup() {
  const int M = Margin, S = Spacing, B = BoxSize;
  SIZE t{0, 0};
  if (!DefaultText.empty() || !CustomText.empty()) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    for (const std::string* s : {&DefaultText, &CustomText}) {
      std::wstring w = tk::Widen(*s);
      SIZE e{0, 0};
      GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &e);
      t.cx = std::max(t.cx, e.cx);
      t.cy = std::max(t.cy, e.cy);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    t.cx += 2 * M;
    t.cy += 4 * M + 2;
  }
  rows_ = kNamedColors / Columns + (kNamedColors % Columns ? 1 : 0);
  window_ = {0, 0, Columns * B + 2 * M + 2 * S, rows_ * B + 4 * M};
  combSize_ = Round(Columns * B * 7 / 16.0);
  radius_ = Round(combSize_ / double(CombLevels - 1) + 0.5);
  defaultHeight_ = 0;
  default_ = custom_ = preview_ = RECT{0, 0, 0, 0};
  if (!DefaultText.empty()) {
    window_.right = std::max<LONG>(window_.right, t.cx);
    default_ = {M + S, 2 * M, window_.right - M - S, 2 * M + t.cy};
    defaultHeight_ = t.cy + 2 * M;
    window_.bottom += defaultHeight_;
  }
  sysRows_ = kSystemColors / Columns + (kSystemColors % Columns ? 1 : 0);
  if (ShowSystemColors) window_.bottom += sysRows_ * B + 2 * M;
  if (!CustomText.empty()) {
    window_.right = std::max<LONG>(window_.right, t.cx);
    int h = window_.bottom;
    custom_ = {M + S, h, window_.right - M - S, h + t.cy};
    int x = custom_.right - B - M, y = h + (t.cy - B) / 2;
    preview_ = {x + M + 1, y + M + 1, x + B - M - 1, y + B - M - 1};
    window_.bottom += t.cy + 2 * M;
  }
  normalHeight_ = window_.bottom;
  int top = window_.bottom;
  colorComb_ = {M + S, top, M + S + 2 * combSize_, top + 2 * combSize_};
  greyComb_ = {colorComb_.left, colorComb_.bottom - 4,
               colorComb_.left + Round(radius_ * 17 * kCos30 / 2) + 6 * radius_, colorComb_.bottom + 2 * radius_};
  slider_ = {colorComb_.right, colorComb_.top + radius_, colorComb_.right + 20, colorComb_.bottom - radius_};
  if (wnd_ && IsWindowVisible(wnd_)) ShowPopup();
}

RECT TColorPopup::CellRect(int cell) const {
  const int M = Margin, B = BoxSize;
  int x = (cell % Columns) * B + M + Spacing;
  int y = (cell / Columns) * B + 2 * M + defaultHeight_;
  if (cell >= kNamedColors) y += 3 * M;
  return RECT{x, y, x + B, y + B};
}

int TColorPopup::CellAt(int x, int y) const {
  POINT p{x, y};
  if (!CustomText.empty() && PtInRect(&custom_, p)) return kCustomCell;
  if (!DefaultText.empty() && PtInRect(&default_, p)) return kDefaultCell;
  const int M = Margin, B = BoxSize;
  int cx = x - M - Spacing, cy = y - defaultHeight_ - 2 * M;
  if (cx < 0 || cy < 0 || cx >= Columns * B) return kNoCell;
  int col = cx / B, row = cy / B;
  if (row < rows_) {
    int cell = row * Columns + col;
    return cell < kNamedColors ? cell : kNoCell;
  }
  if (!ShowSystemColors) return kNoCell;
  int sy = cy - rows_ * B - 3 * M;  // the gap above the system rows hits nothing
  if (sy < 0) return kNoCell;
  int cell = (sy / B) * Columns + col;
  return cell < kSystemColors ? kNamedColors + cell : kNoCell;
}

TColor TColorPopup::CellColor(int cell) const {
  if (cell >= 0 && cell < kNamedColors) return kNamedColorTable[cell].Value;
  if (cell >= kNamedColors && cell < kNamedColors + kSystemColors) return tk::SystemColor(cell - kNamedColors);
  return tk::clNone;
}

void TColorPopup::BuildCombs() {
  const int L = CombLevels;
  colorCells_.clear();
  const double D = kCos30 * 2 * combSize_;
  static const float corner[7][3] = {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}};
  auto colour = [](const float c[3]) { return TColor(ToByte(c[0]) | ToByte(c[1]) << 8 | ToByte(c[2]) << 16); };
  colorCells_.push_back({0, 0, colour(centre_)});
  for (int k = 0; k < 6; ++k) {
    double a0 = 60.0 * k * 3.14159265358979323846 / 180.0, a1 = 60.0 * (k + 1) * 3.14159265358979323846 / 180.0;
    for (int j = 1; j < L; ++j) {
      double f = double(j) / (L - 1);
      double ax = f * D / 2 * std::cos(a0), ay = f * D / 2 * std::sin(a0);
      double bx = f * D / 2 * std::cos(a1), by = f * D / 2 * std::sin(a1);
      float ca[3], cb[3];
      for (int i = 0; i < 3; ++i) {
        ca[i] = centre_[i] + float(f) * (corner[k][i] - centre_[i]);
        cb[i] = centre_[i] + float(f) * (corner[k + 1][i] - centre_[i]);
      }
      for (int s = 0; s < j; ++s) {
        float c[3];
        for (int i = 0; i < 3; ++i) c[i] = ca[i] + s * (cb[i] - ca[i]) / j;
        colorCells_.push_back({Round(ax + s * (bx - ax) / j), Round(ay + s * (by - ay) / j), colour(c)});
      }
    }
  }
  greyCells_.clear();
  const int R = radius_, dx = Round(kCos30 * R / 2), dy = Round(1.5 * R / 2);
  greyCells_.push_back({R, R, 0xFFFFFF});
  for (int k = 1; k <= 15; ++k) {
    int g = (16 - k) * 15;
    greyCells_.push_back({3 * R + dx * (k - 1), (R / 4) * 3 + ((k - 1) % 2 ? dy : 0), TColor(g | g << 8 | g << 16)});
  }
  greyCells_.push_back({16 * dx + 3 * R + R, R, 0x000000});
}

const std::vector<TCombCell>& TColorPopup::ColorCells() {
  if (colorCells_.empty()) BuildCombs();
  return colorCells_;
}
const std::vector<TCombCell>& TColorPopup::GreyCells() {
  if (greyCells_.empty()) BuildCombs();
  return greyCells_;
}

POINT TColorPopup::ColorCombCentre() const { return {colorComb_.left + combSize_, colorComb_.top + combSize_}; }

int TColorPopup::ColorCellAt(int x, int y) {
  POINT c = ColorCombCentre();
  const auto& cells = ColorCells();
  int r = radius_ / 2;
  for (size_t i = 0; i < cells.size(); ++i) {
    int ddx = x - c.x - cells[i].X, ddy = y - c.y - cells[i].Y;
    if (ddx * ddx + ddy * ddy <= r * r) return static_cast<int>(i);
  }
  return -1;
}

int TColorPopup::GreyCellAt(int x, int y) {
  const auto& cells = GreyCells();
  for (size_t i = 0; i < cells.size(); ++i) {
    int r = (i == 0 || i + 1 == cells.size()) ? radius_ : radius_ / 2;
    int ddx = x - greyComb_.left - cells[i].X, ddy = y - greyComb_.top - cells[i].Y;
    if (ddx * ddx + ddy * ddy <= r * r) return static_cast<int>(i);
  }
  return -1;
}

void TColorPopup::SetIntensity(float intensity) {
  intensity_ = std::clamp(intensity, 0.0f, 1.0f);
  for (float& c : centre_) c = intensity_;
  BuildCombs();
  if (wnd_) InvalidateRect(wnd_, nullptr, FALSE);
}

void TColorPopup::SelectColorCell(TColor color) {
  int cell = kNoCell;
  customIndex_ = 0;
  if (color == tk::clNone) {
    cell = kNoCell;
  } else if (color == tk::clDefault) {
    cell = kDefaultCell;
  } else {
    if (ShowSystemColors && IsSystemColor(color) && (color & 0xFF) < kSystemColors) cell = kNamedColors + (color & 0xFF);
    COLORREF rgb = ColorToRGB(color);
    for (int i = 0; cell == kNoCell && i < kNamedColors; ++i)
      if (ColorToRGB(kNamedColorTable[i].Value) == rgb) cell = i;
    if (cell == kNoCell && ShowSystemColors && !IsSystemColor(color))
      for (int i = 0; cell == kNoCell && i < kSystemColors; ++i)
        if (ColorToRGB(tk::SystemColor(i)) == rgb) cell = kNamedColors + i;
    if (cell == kNoCell) {
      const auto& greys = GreyCells();
      for (size_t i = 0; cell == kNoCell && i < greys.size(); ++i)
        if (greys[i].Color == rgb) { cell = kCustomCell; customIndex_ = -static_cast<int>(i + 1); }
      const auto& cells = ColorCells();
      for (size_t i = 0; cell == kNoCell && i < cells.size(); ++i)
        if (cells[i].Color == rgb) { cell = kCustomCell; customIndex_ = static_cast<int>(i + 1); }
    }
  }
  selected_ = cell;
  if (wnd_) InvalidateRect(wnd_, nullptr, FALSE);
}

TColor TColorPopup::CustomColor() {
  if (customIndex_ < 0) return GreyCells()[static_cast<size_t>(-customIndex_ - 1)].Color;
  if (customIndex_ > 0) return ColorCells()[static_cast<size_t>(customIndex_ - 1)].Color;
  return tk::clNone;
}

void TColorPopup::EndSelection(bool cancel) {
  HideHint();
  if (!cancel) {
    if (selected_ >= 0 && selected_ < kNamedColors + kSystemColors) {
      owner_.SetSelectionColor(CellColor(selected_));
    } else if (selected_ == kCustomCell) {
      if (customIndex_ != 0) owner_.SetSelectionColor(CustomColor());
    } else if (owner_.OnDefaultSelect) {
      owner_.OnDefaultSelect();
    }
  }
  owner_.SetDroppedDown(false);
}

void TColorPopup::ShowPopup() {
  CreateWnd();
  int h = CombShown() ? greyComb_.bottom + 2 * Margin : normalHeight_;
  int w = window_.right;
  HWND b = owner_.Handle();
  RECT br{0, 0, 0, 0};
  if (b) GetWindowRect(b, &br);
  int x = br.left - 1, y = br.bottom;
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (y + h > screen.bottom) {
    y = screen.bottom - h;
    if (y < br.top) y = br.top - h;
  }
  if (x + w > screen.right) x = std::max<LONG>(0, screen.right - w);
  SetWindowPos(wnd_, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(wnd_, nullptr, FALSE);
}

void TColorPopup::HidePopup() {
  HideHint();
  dragPart_ = 0;
  pressed_ = false;
  hover_ = kNoCell;
  if (wnd_) ShowWindow(wnd_, SW_HIDE);
}

void TColorPopup::SetHover(int cell) {
  if (cell == hover_) return;
  hover_ = cell;
  if (wnd_) {
    InvalidateRect(wnd_, nullptr, FALSE);
    UpdateWindow(wnd_);
  }
}

int TColorPopup::MoveFrom(int c, WORD key) const {
  const int last = LastCell();
  const bool hasDef = !DefaultText.empty(), hasCus = !CustomText.empty();
  auto customElseLast = [&] { return hasCus ? kCustomCell : last; };
  auto defaultElseZero = [&] { return hasDef ? kDefaultCell : 0; };
  if (c == kNoCell) return 0;
  if (c == kDefaultCell) return (key == VK_LEFT || key == VK_UP) ? customElseLast() : 0;
  if (c == kCustomCell) return (key == VK_LEFT || key == VK_UP) ? last : defaultElseZero();
  int n = key == VK_LEFT ? c - 1 : key == VK_UP ? c - Columns : key == VK_RIGHT ? c + 1 : c + Columns;
  if (n < 0) return hasDef ? kDefaultCell : customElseLast();
  if (n > last) return hasCus ? kCustomCell : defaultElseZero();
  return n;
}

void TColorPopup::KeyDown(WORD key, bool alt) {
  switch (key) {
    case VK_RETURN:
    case VK_SPACE:
      selected_ = hover_;
      EndSelection(false);
      return;
    case VK_ESCAPE:
      EndSelection(true);
      return;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
      SetHover(MoveFrom(hover_ == kNoCell ? selected_ : hover_, key));
      return;
    default: break;
  }
  if (!alt) return;
  if (wchar_t a = Accelerator(DefaultText); a && a == key) {
    selected_ = kDefaultCell;
    EndSelection(false);
  } else if (wchar_t a2 = Accelerator(CustomText); a2 && a2 == key && selected_ != kCustomCell) {
    selected_ = kCustomCell;
    ShowPopup();
  }
}

int TColorPopup::CombPart(int x, int y) {
  if (!CombShown()) return 0;
  POINT p{x, y};
  if (PtInRect(&slider_, p)) return 3;
  if (GreyCellAt(x, y) >= 0) return 2;
  if (ColorCellAt(x, y) >= 0) return 1;
  return 0;
}

void TColorPopup::PickComb(int part, int x, int y) {
  if (part == 3) {
    SetIntensity(1.0f - float(y - slider_.top) / float(slider_.bottom - slider_.top));
  } else if (part == 2) {
    if (int i = GreyCellAt(x, y); i >= 0) customIndex_ = -(i + 1);
  } else if (part == 1) {
    if (int i = ColorCellAt(x, y); i >= 0) customIndex_ = i + 1;
  }
  if (wnd_) {
    InvalidateRect(wnd_, nullptr, FALSE);
    UpdateWindow(wnd_);
  }
}

void TColorPopup::MouseMessage(UINT msg, WPARAM keys, int x, int y) {
  POINT p{x, y};
  RECT client{0, 0, 0, 0};
  if (wnd_) GetClientRect(wnd_, &client);
  switch (msg) {
    case WM_MOUSEMOVE:
      if (dragPart_ && (keys & MK_LBUTTON)) {
        PickComb(dragPart_, x, y);
      } else {
        SetHover(PtInRect(&client, p) ? CellAt(x, y) : kNoCell);
      }
      UpdateHint(x, y);
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!PtInRect(&client, p)) {
        EndSelection(true);
        return;
      }
      pressed_ = true;
      dragPart_ = CombPart(x, y);
      if (dragPart_) PickComb(dragPart_, x, y);
      else if (wnd_) InvalidateRect(wnd_, nullptr, FALSE);
      return;
    case WM_LBUTTONUP: {
      int started = dragPart_;
      bool wasPressed = pressed_;
      dragPart_ = 0;
      pressed_ = false;
      int cell = PtInRect(&client, p) ? CellAt(x, y) : kNoCell;
      // The press that opened the pop-up counts only when it was dragged from the arrow
      // onto an entry and released there.
      if (!wasPressed && cell == kNoCell) return;
      if (cell == kCustomCell) {
        if (selected_ != kCustomCell) {
          selected_ = kCustomCell;
          ShowPopup();
        }
        return;
      }
      if (cell != kNoCell) {
        selected_ = cell;
        EndSelection(false);
        return;
      }
      int part = CombPart(x, y);
      if (part == 1 || part == 2) {
        PickComb(part, x, y);
        if (started == 1 || started == 2) EndSelection(false);
      }
      if (wnd_) InvalidateRect(wnd_, nullptr, FALSE);
      return;
    }
    default: return;
  }
}

void TColorPopup::UpdateHint(int x, int y) {
  if (!owner_.ShowHint) {
    HideHint();
    return;
  }
  POINT p{x, y};
  std::string text;
  int timeout = 0;
  POINT at{x, y + 20};
  int cell = CellAt(x, y);
  if (cell >= 0) {
    text = cell < kNamedColors ? kNamedColorTable[cell].Name : kSystemColorHints[cell - kNamedColors];
    RECT r = CellRect(cell);
    at = {r.left, r.bottom};
  } else if (cell == kDefaultCell || cell == kCustomCell) {
    if (owner_.OnHint) owner_.OnHint(cell, text);
    if (text.empty()) text = owner_.Hint();
  } else if (CombShown() && PtInRect(&slider_, p)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Intensity: %d%%", Round(intensity_ * 100.0));
    text = buf;
    timeout = 5000;
  } else if (int c = CombShown() ? GreyCellAt(x, y) : -1; c >= 0 || (CombShown() && (c = ColorCellAt(x, y)) >= 0)) {
    bool grey = GreyCellAt(x, y) >= 0;
    TColor col = grey ? GreyCells()[static_cast<size_t>(c)].Color : ColorCells()[static_cast<size_t>(c)].Color;
    char buf[64];
    std::snprintf(buf, sizeof buf, "red: %d, green: %d, blue: %d", int(col & 0xFF), int(col >> 8 & 0xFF),
                  int(col >> 16 & 0xFF));
    text = buf;
    timeout = 5000;
  } else if (owner_.OnHint) {
    owner_.OnHint(kNoCell, text);
  }
  if (text.empty()) {
    HideHint();
    return;
  }
  if (wnd_) ClientToScreen(wnd_, &at);
  ShowHint(text, at, timeout);
}

void TColorPopup::ShowHint(const std::string& text, POINT screen, int timeoutMs) {
  hintTimeout_ = timeoutMs;
  if (text == hintText_) return;
  hintText_ = text;
  if (!tip_) return;
  std::wstring w = tk::Widen(text);
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = wnd_;
  ti.lpszText = w.data();
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
  SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
  if (timeoutMs > 0) SetTimer(wnd_, kHintTimer, static_cast<UINT>(timeoutMs), nullptr);
  else KillTimer(wnd_, kHintTimer);
}

void TColorPopup::HideHint() {
  if (hintText_.empty()) return;
  hintText_.clear();
  hintTimeout_ = 0;
  if (!tip_) return;
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = wnd_;
  SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
  KillTimer(wnd_, kHintTimer);
}

// The background of a cell or an entry: lit when selected and not hovered, a sunken
// edge when selected, a raised one when hovered (sunken while the button is down).
void TColorPopup::DrawCellBackground(HDC dc, RECT r, int cell) {
  bool sel = cell == selected_, hov = cell == hover_;
  Fill(dc, r, sel && !hov ? tk::clBtnHighlight : tk::clBtnFace);
  if (sel) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  else if (hov) DrawEdge(dc, &r, pressed_ ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
}

void TColorPopup::DrawCell(HDC dc, int cell) {
  RECT r = CellRect(cell);
  DrawCellBackground(dc, r, cell);
  RECT in = r;
  InflateRect(&in, -(Margin + 1), -(Margin + 1));
  Outline(dc, in, CellColor(cell), 0x808080);
}

void TColorPopup::DrawComb(HDC dc) {
  int w = std::max<LONG>(slider_.right, greyComb_.right) + 12, h = greyComb_.bottom + 2 * Margin;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  Fill(mem, RECT{0, 0, w, h}, tk::clBtnFace);
  POINT c = ColorCombCentre();
  const auto& cells = ColorCells();
  for (const auto& cell : cells) Hexagon(mem, {c.x + cell.X, c.y + cell.Y}, radius_, cell.Color);
  const auto& greys = GreyCells();
  for (size_t i = 0; i < greys.size(); ++i) {
    bool big = i == 0 || i + 1 == greys.size();
    Hexagon(mem, {greyComb_.left + greys[i].X, greyComb_.top + greys[i].Y}, big ? 2 * radius_ : radius_, greys[i].Color);
  }
  if (customIndex_ != 0) {
    bool grey = customIndex_ < 0;
    const TCombCell& cc = grey ? greys[static_cast<size_t>(-customIndex_ - 1)] : cells[static_cast<size_t>(customIndex_ - 1)];
    POINT at = grey ? POINT{greyComb_.left + cc.X, greyComb_.top + cc.Y} : POINT{c.x + cc.X, c.y + cc.Y};
    int size = grey && (customIndex_ == -1 || customIndex_ == -static_cast<int>(greys.size())) ? 2 * radius_ : radius_;
    int r = Round(size * 0.5);
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
    HGDIOBJ op = SelectObject(mem, pen), ob = SelectObject(mem, GetStockObject(NULL_BRUSH));
    int rop = SetROP2(mem, R2_XORPEN);
    POINT pts[7];
    for (int i = 0; i < 7; ++i) {
      double a = (90.0 - 60.0 * (i % 6)) * 3.14159265358979323846 / 180.0;
      pts[i] = {at.x + Round(r * std::cos(a)), at.y + Round(r * std::sin(a))};
    }
    Polyline(mem, pts, 7);
    SetROP2(mem, rop);
    SelectObject(mem, op);
    SelectObject(mem, ob);
    DeleteObject(pen);
  }
  int n = slider_.bottom - slider_.top - 1;
  for (int row = 0; n > 0 && row <= n; ++row) {
    int g = Round((n - row) * 255.0 / n);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(g, g, g));
    HGDIOBJ op = SelectObject(mem, pen);
    MoveToEx(mem, slider_.left, slider_.top + row, nullptr);
    LineTo(mem, slider_.left + 10, slider_.top + row);
    SelectObject(mem, op);
    DeleteObject(pen);
  }
  int ty = slider_.top + Round((1 - intensity_) * n);
  POINT tri[3] = {{slider_.left + 11, ty}, {slider_.left + 16, ty - 3}, {slider_.left + 16, ty + 3}};
  HGDIOBJ ob = SelectObject(mem, GetStockObject(BLACK_BRUSH)), op = SelectObject(mem, GetStockObject(BLACK_PEN));
  Polygon(mem, tri, 3);
  SelectObject(mem, ob);
  SelectObject(mem, op);
  int top = colorComb_.top;
  BitBlt(dc, 0, top, w, h - top, mem, 0, top, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

void TColorPopup::Paint(HDC target) {
  RECT client;
  GetClientRect(wnd_, &client);
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bmp = CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  Fill(dc, client, tk::clBtnFace);
  const int M = Margin, S = Spacing, B = BoxSize;
  if (!DefaultText.empty()) {
    RECT r = default_;
    DrawCellBackground(dc, r, kDefaultCell);
    RECT in = r;
    InflateRect(&in, -(M + 1), -(M + 1));
    Outline(dc, in, tk::clNone, tk::clBtnShadow);
    DrawCaption(dc, DefaultText, r);
  }
  for (int i = 0; i < kNamedColors; ++i) DrawCell(dc, i);
  if (ShowSystemColors) {
    RECT line{M + S, rows_ * B + M + defaultHeight_, client.right - M - S, rows_ * B + M + defaultHeight_ + 2};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    for (int i = kNamedColors; i < kNamedColors + kSystemColors; ++i) DrawCell(dc, i);
  }
  if (!CustomText.empty()) {
    RECT line{custom_.left, custom_.top - 2 * M, custom_.right, custom_.top - 2 * M + 2};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    RECT r = custom_;
    DrawCellBackground(dc, r, kCustomCell);
    DrawCaption(dc, CustomText, r);
    if (customIndex_ != 0) {
      Outline(dc, preview_, CustomColor(), 0x808080);
    } else {
      Outline(dc, preview_, tk::clNone, tk::clBtnShadow);
    }
  }
  if (CombShown()) DrawComb(dc);
  DrawEdge(dc, &client, EDGE_RAISED, BF_RECT);
  SelectObject(dc, oldFont);
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
}

LRESULT CALLBACK TColorPopup::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TColorPopup*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(wnd, msg, wp, lp);
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      self->Paint(dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
      self->MouseMessage(msg, wp, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      return 0;
    case WM_KEYDOWN: case WM_SYSKEYDOWN:
      self->KeyDown(static_cast<WORD>(wp), msg == WM_SYSKEYDOWN);
      return 0;
    case WM_TIMER:
      if (wp == kHintTimer) self->HideHint();
      return 0;
    case WM_ACTIVATEAPP:
      if (!wp && IsWindowVisible(wnd)) self->EndSelection(true);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
      self->wnd_ = nullptr;
      break;
    default: break;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

// ---------------- button

TColorPickerButton::TColorPickerButton() : TSpeedButton(L"TColorPickerButton"), popup_(std::make_unique<TColorPopup>(*this)) {
  bounds_.Width = 45;
  bounds_.Height = 22;
  SetColor(tk::clBtnFace);
}

TColorPickerButton::~TColorPickerButton() {
  if (GetCapture() == capture_ && capture_) ReleaseCapture();
  popup_.reset();
  if (capture_) DestroyWindow(capture_);
}

void TColorPickerButton::AfterCreate() {
  TSpeedButton::AfterCreate();
  Register(kCaptureClass, CaptureProc, 0);
  capture_ = CreateWindowExW(0, kCaptureClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, Handle(), nullptr,
                             GetModuleHandleW(nullptr), this);
}

void TColorPickerButton::SetSelectionColor(TColor color) {
  if (color == selectionColor_) return;
  selectionColor_ = color;
  Invalidate();
  if (droppedDown_) popup_->SelectColorCell(color);
  if (OnChange) OnChange();
}

void TColorPickerButton::SetDroppedDown(bool down) {
  if (down == droppedDown_) return;
  bool allowed = true;
  if (OnDropChanging) OnDropChanging(allowed);
  if (!allowed) return;
  droppedDown_ = down;
  if (down) {
    state_ = tk::TButtonState::bsDown;
    popup_->SelectColorCell(selectionColor_);
    popup_->ShowPopup();
    if (capture_) {
      focusBefore_ = GetFocus();
      SetCapture(capture_);
      ::SetFocus(capture_);
    }
  } else {
    arrowPressed_ = false;
    dragging_ = false;
    state_ = Down() ? tk::TButtonState::bsExclusive : tk::TButtonState::bsUp;
    if (capture_ && GetCapture() == capture_) ReleaseCapture();
    popup_->HidePopup();
    if (capture_ && GetFocus() == capture_) ::SetFocus(focusBefore_ && IsWindow(focusBefore_) ? focusBefore_ : nullptr);
  }
  if (OnDropChanged) OnDropChanged();
  Invalidate();
}

void TColorPickerButton::Relayout() {
  popup_->LayoutPopup();
}
void TColorPickerButton::SetCustomText(const std::string& text) { popup_->CustomText = text; Relayout(); }
void TColorPickerButton::SetDefaultText(const std::string& text) { popup_->DefaultText = text; Relayout(); }
void TColorPickerButton::SetShowSystemColors(bool on) { popup_->ShowSystemColors = on; Relayout(); }
void TColorPickerButton::SetPopupSpacing(int spacing) { popup_->Spacing = std::max(0, spacing); Relayout(); }
void TColorPickerButton::SetDropDownArrowColor(TColor color) { arrowColor_ = color; Invalidate(); }
void TColorPickerButton::SetDropDownWidth(int width) { dropDownWidth_ = width; Invalidate(); }
void TColorPickerButton::SetIndicatorBorder(TIndicatorBorder border) { indicatorBorder_ = border; Invalidate(); }
void TColorPickerButton::SetTransparent(bool on) {
  TSpeedButton::SetTransparent(on);
  SetOpaquePaint(!on);
}

void TColorPickerButton::MouseDown(int x, int y) {
  RECT r = ClientRect();
  if (x > r.right - dropDownWidth_) {
    arrowPressed_ = true;
    if (GetCapture() == Handle()) ReleaseCapture();
    Invalidate();
    Update();
    SetDroppedDown(true);
    return;
  }
  TSpeedButton::MouseDown(x, y);
}

LRESULT TColorPickerButton::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY) capture_ = nullptr;
  return TSpeedButton::WndProc(msg, wp, lp);
}

void TColorPickerButton::Paint(tk::TCanvas& c) {
  RECT r = ClientRect();
  const int W = r.right, H = r.bottom, dw = dropDownWidth_;
  bool facePressed = state_ == tk::TButtonState::bsDown && !arrowPressed_ && !droppedDown_;
  facePressed = facePressed || state_ == tk::TButtonState::bsExclusive;
  RECT face{0, 0, W - dw, H}, arrow{W - dw, 0, W, H};
  RECT captionRect{}, glyphRect{};
  if (!Flat()) {
    PaintFace(c, face, facePressed, &captionRect, &glyphRect);
    c.DrawEdge(arrow, droppedDown_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE);
  } else {
    if (!Transparent()) {
      c.Brush.Color = EffectiveColor();
      c.FillRect(r);
    }
    bool pressed = facePressed || droppedDown_;
    if (pressed || (mouseIn_ && enabled_)) c.DrawEdge(r, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    bool was = mouseIn_;
    mouseIn_ = false;  // the whole button's edge is drawn already
    PaintFace(c, face, facePressed, &captionRect, &glyphRect);
    mouseIn_ = was;
  }
  // The separator between face and arrow.
  if (Flat() ? (mouseIn_ || droppedDown_ || facePressed) : true) {
    bool pressed = droppedDown_ || facePressed;
    int x = W - dw - 1 + (pressed ? 1 : 0), y0 = pressed ? 2 : 1, y1 = pressed ? H - 3 : H - 2;
    c.Pen.Color = tk::clBtnShadow;
    c.MoveTo(x, y0);
    c.LineTo(x, y1 + 1);
    c.Pen.Color = tk::clBtnHighlight;
    c.MoveTo(x + 1, y0);
    c.LineTo(x + 1, y1 + 1);
  }
  // The colour indicator.
  RECT ind;
  if (captionRect.right <= captionRect.left) {
    ind = {0, 0, W - dw - 2, H};
    InflateRect(&ind, -2, -2);
    if (glyphRect.right > glyphRect.left) {
      switch (Layout()) {
        case tk::TButtonLayout::blGlyphLeft: ind = {glyphRect.right + 4, glyphRect.top, ind.right, glyphRect.bottom}; break;
        case tk::TButtonLayout::blGlyphRight: ind = {ind.left, glyphRect.top, glyphRect.left - 4, glyphRect.bottom}; break;
        case tk::TButtonLayout::blGlyphTop: ind.top = glyphRect.bottom + 4; break;
        case tk::TButtonLayout::blGlyphBottom: ind.bottom = glyphRect.top - 4; break;
      }
    }
  } else {
    int bottom = std::min<LONG>(captionRect.bottom + 6, H - 2);
    ind = {captionRect.left, bottom - 6, captionRect.right, bottom};
  }
  indicator_ = ind;
  c.Brush.Color = selectionColor_;
  c.FillRect(ind);
  switch (indicatorBorder_) {
    case TIndicatorBorder::ibNone: break;
    case TIndicatorBorder::ibFlat: c.Brush.Color = tk::clBtnShadow; c.FrameRect(ind); break;
    case TIndicatorBorder::ibSunken: { RECT e = ind; InflateRect(&e, 1, 1); c.DrawEdge(e, BDR_SUNKENOUTER, BF_RECT); break; }
    case TIndicatorBorder::ibRaised: { RECT e = ind; InflateRect(&e, 1, 1); c.DrawEdge(e, BDR_RAISEDINNER, BF_RECT); break; }
  }
  // The arrow.
  int shift = (droppedDown_ && arrowPressed_) || facePressed ? 1 : 0;
  int x = W - dw + (dw + 5) / 2 - 6 + shift, y = H / 2 + shift;
  if (enabled_) {
    c.Pen.Color = arrowColor_;
    c.Brush.Color = arrowColor_;
  } else {
    c.Pen.Color = tk::clBtnShadow;
    c.Brush.Color = tk::clBtnShadow;
  }
  c.Polygon({{x, y}, {x + 6, y}, {x + 3, y + 3}});
}

LRESULT CALLBACK TColorPickerButton::CaptureProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TColorPickerButton*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self || !self->popup_) return DefWindowProcW(wnd, msg, wp, lp);
  TColorPopup& popup = *self->popup_;
  switch (msg) {
    case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: {
      if (!self->droppedDown_ || !popup.Handle()) break;
      POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      MapWindowPoints(wnd, popup.Handle(), &p, 1);
      popup.MouseMessage(msg, wp, p.x, p.y);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN: case WM_SYSKEYDOWN:
      if (self->droppedDown_) {
        popup.KeyDown(static_cast<WORD>(wp), msg == WM_SYSKEYDOWN);
        return 0;
      }
      break;
    case WM_KILLFOCUS:
      if (self->droppedDown_) self->SetDroppedDown(false);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
      break;
    default: break;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace g32
