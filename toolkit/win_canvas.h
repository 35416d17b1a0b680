#pragma once
// Colours, font descriptions and a small canvas over a device context: pen, brush
// and font objects selected on demand, and the drawing calls the controls use.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/win_app.h"

namespace tk {

// A colour: 0x00BBGGRR, or 0x800000nn for system colour nn (resolved before drawing).
using TColor = std::uint32_t;
constexpr TColor clNone = 0x1FFFFFFF;     // no colour (transparent brush, default back)
constexpr TColor clDefault = 0x20000000;  // the control's own default colour
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clRed = 0x0000FF, clGreen = 0x008000,
                 clBlue = 0xFF0000, clGray = 0x808080, clSilver = 0xC0C0C0,
                 clMaroon = 0x000080, clNavy = 0x800000, clYellow = 0x00FFFF;
constexpr TColor SystemColor(int index) { return 0x80000000u | static_cast<TColor>(index); }
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE), clWindow = SystemColor(COLOR_WINDOW),
                 clWindowText = SystemColor(COLOR_WINDOWTEXT), clBtnText = SystemColor(COLOR_BTNTEXT),
                 clHighlight = SystemColor(COLOR_HIGHLIGHT),
                 clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT),
                 clBtnShadow = SystemColor(COLOR_BTNSHADOW),
                 clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT), clGrayText = SystemColor(COLOR_GRAYTEXT),
                 clInfoBk = SystemColor(COLOR_INFOBK), clMenu = SystemColor(COLOR_MENU);
// The RGB value (COLORREF) of a colour; system colours through GetSysColor.
COLORREF ColorToRGB(TColor color);

// A font as the forms declare it. Height is in pixels at 96 DPI, negative for the
// character height (Tahoma 8 points is -11); it is scaled to the screen's DPI.
struct TFontSpec {
  std::string Name = "Tahoma";
  int Height = -11;
  bool Bold = false, Italic = false, Underline = false;
  TColor Color = clWindowText;
  bool operator==(const TFontSpec&) const = default;
  // Points to height at 96 DPI: -MulDiv(points, 96, 72).
  static int HeightForPoints(int points);
};
// A new font object for the spec at the screen's DPI; the caller deletes it.
HFONT CreateFontFromSpec(const TFontSpec& spec);

enum class TPenMode { pmCopy, pmXor, pmNotXor, pmNot };
enum class TBrushStyle { bsSolid, bsClear };

// Drawing on a device context. The canvas does not own the DC; it selects its pen,
// brush and font when a call needs them and restores the DC's originals at the end.
// Coordinates are device pixels (paint code works on the real client size).
class TCanvas {
 public:
  explicit TCanvas(HDC dc);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  HDC Handle() const { return dc_; }

  struct {
    TColor Color = clBlack;
    int Width = 1;
    TPenMode Mode = TPenMode::pmCopy;
  } Pen;
  struct {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
  } Brush;
  TFontSpec Font;

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void FillRect(const RECT& r);                   // with the brush, no outline
  void FrameRect(const RECT& r);                  // one-pixel frame in the brush colour
  void Rectangle(int l, int t, int r, int b);     // pen outline, brush inside
  void RoundRect(int l, int t, int r, int b, int w, int h);
  void Ellipse(int l, int t, int r, int b);
  void Polygon(const std::vector<POINT>& points);
  void Polyline(const std::vector<POINT>& points);
  // Text in the font's colour; a clear brush leaves the background as it is.
  int DrawText(const std::string& text, RECT& r, UINT format);  // DT_* flags
  SIZE TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);
  void DrawEdge(RECT r, UINT edge, UINT flags);  // EDGE_*, BF_*

 private:
  void UsePen();
  void UseBrush();
  void UseFont();
  HDC dc_;
  HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr, oldFont_ = nullptr;
  HPEN pen_ = nullptr;
  HBRUSH brush_ = nullptr;
  HFONT font_ = nullptr;
  TFontSpec fontMade_;
  int oldRop_ = 0;
};

}  // namespace tk
