// The images of the main window, drawn here: the tool bar and menu images
// (ilToolbar) and the row images of the lists (ilListview).
#include "manager/mainform.h"
#include "toolkit/win_drawnimages.h"

namespace {

// A few shapes on a 16 x 16 square.
struct TPainter {
  HDC dc;
  // A filled shape drawn with its own brush and pen.
  template <class Shape>
  void Filled(COLORREF fill, COLORREF line, Shape shape) {
    HBRUSH br = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, line);
    HGDIOBJ ob = SelectObject(dc, br), op = SelectObject(dc, pen);
    shape();
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(br);
    DeleteObject(pen);
  }
  void Box(int l, int t, int r, int b, COLORREF fill, COLORREF line) {
    Filled(fill, line, [&] { Rectangle(dc, l, t, r, b); });
  }
  void Ellipse_(int l, int t, int r, int b, COLORREF fill, COLORREF line) {
    Filled(fill, line, [&] { Ellipse(dc, l, t, r, b); });
  }
  void Poly(std::initializer_list<POINT> pts, COLORREF fill, COLORREF line) {
    Filled(fill, line, [&] { Polygon(dc, pts.begin(), static_cast<int>(pts.size())); });
  }
  void Line(int x1, int y1, int x2, int y2, COLORREF color, int width = 1) {
    HPEN pen = CreatePen(PS_SOLID, width, color);
    HGDIOBJ op = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, op);
    DeleteObject(pen);
  }
  // A sheet of paper with lines.
  void Page(int l, int t, COLORREF fill = RGB(255, 255, 255)) {
    Box(l, t, l + 10, t + 13, fill, RGB(90, 90, 90));
    for (int y = t + 3; y < t + 11; y += 2) Line(l + 2, y, l + 8, y, RGB(150, 150, 170));
  }
  // A zip: a yellow box with a zipper.
  void Zip(int l, int t) {
    Box(l, t, l + 12, t + 12, RGB(250, 220, 90), RGB(140, 110, 20));
    for (int y = t + 1; y < t + 11; y += 2) Line(l + 5, y, l + 7, y, RGB(90, 70, 10));
  }
  void Folder(int l, int t) {
    Poly({{l, t + 2}, {l + 5, t + 2}, {l + 6, t + 4}, {l + 14, t + 4}, {l + 14, t + 12}, {l, t + 12}},
         RGB(240, 200, 90), RGB(150, 110, 30));
  }
  void Monitor(int l, int t, COLORREF screen) {
    Box(l, t, l + 11, t + 8, screen, RGB(60, 60, 60));
    Line(l + 5, t + 8, l + 5, t + 10, RGB(60, 60, 60));
    Line(l + 2, t + 10, l + 9, t + 10, RGB(60, 60, 60));
  }
  void Cross(int l, int t, int size, COLORREF color) {
    Line(l, t, l + size, t + size, color, 2);
    Line(l + size, t, l, t + size, color, 2);
  }
  void Play(int l, int t, COLORREF color) { Poly({{l, t}, {l + 8, t + 5}, {l, t + 10}}, color, RGB(20, 90, 20)); }
  void Tick(int l, int t, COLORREF color) {
    Line(l, t + 3, l + 3, t + 6, color, 2);
    Line(l + 3, t + 6, l + 9, t, color, 2);
  }
  void Arrow(bool up, COLORREF color) {
    if (up) Poly({{8, 2}, {14, 8}, {10, 8}, {10, 14}, {6, 14}, {6, 8}, {2, 8}}, color, RGB(20, 60, 120));
    else Poly({{8, 14}, {14, 8}, {10, 8}, {10, 2}, {6, 2}, {6, 8}, {2, 8}}, color, RGB(20, 60, 120));
  }
  void Clock(int l, int t) {
    Ellipse_(l, t, l + 13, t + 13, RGB(255, 255, 255), RGB(40, 60, 120));
    Line(l + 6, t + 6, l + 6, t + 2, RGB(0, 0, 0));
    Line(l + 6, t + 6, l + 9, t + 7, RGB(0, 0, 0));
  }
};

using TDraw = void (*)(TPainter&);

const COLORREF kBlue = RGB(60, 110, 200), kGreen = RGB(40, 170, 60), kRed = RGB(210, 40, 40);

// In the order of the image indexes that the actions use (mainactions.cpp).
const TDraw kToolbarImages[] = {
    [](TPainter& p) { p.Page(3, 1); p.Line(11, 1, 15, 5, RGB(230, 180, 0), 2); p.Line(15, 1, 11, 5, RGB(230, 180, 0), 2); },
    [](TPainter& p) { p.Monitor(0, 1, RGB(170, 210, 250)); p.Monitor(5, 6, RGB(170, 210, 250)); },
    [](TPainter& p) { p.Page(1, 0, RGB(230, 230, 230)); p.Page(5, 3); },
    [](TPainter& p) { p.Page(1, 1); p.Line(5, 13, 14, 4, RGB(200, 120, 20), 3); },
    [](TPainter& p) { p.Page(1, 1); p.Ellipse_(7, 7, 15, 15, RGB(200, 230, 255), kBlue); },
    [](TPainter& p) { p.Box(1, 5, 15, 11, RGB(255, 255, 255), RGB(90, 90, 90)); p.Line(4, 3, 4, 13, RGB(0, 0, 0)); },
    [](TPainter& p) { p.Page(2, 1); p.Cross(7, 7, 7, kRed); },
    [](TPainter& p) { p.Play(4, 3, kGreen); },
    [](TPainter& p) { p.Zip(1, 2); p.Tick(6, 6, kGreen); },
    [](TPainter& p) { p.Play(1, 3, kGreen); p.Tick(7, 6, kBlue); },
    [](TPainter& p) { p.Clock(1, 1); },
    [](TPainter& p) { p.Ellipse_(1, 3, 15, 13, RGB(220, 220, 220), RGB(80, 80, 80)); p.Ellipse_(6, 6, 10, 10, RGB(255, 255, 255), RGB(80, 80, 80)); p.Play(11, 0, kGreen); },
    [](TPainter& p) { p.Page(1, 1); p.Ellipse_(6, 6, 15, 15, kRed, kRed); p.Line(8, 10, 13, 10, RGB(255, 255, 255), 2); },
    [](TPainter& p) { p.Monitor(2, 3, RGB(170, 230, 170)); p.Play(10, 0, kGreen); },
    [](TPainter& p) { p.Ellipse_(2, 2, 14, 14, kRed, RGB(120, 0, 0)); p.Line(8, 4, 8, 9, RGB(255, 255, 255), 2); },
    [](TPainter& p) { p.Box(2, 2, 14, 14, RGB(200, 200, 200), RGB(70, 70, 70)); p.Box(5, 5, 11, 11, RGB(255, 255, 255), RGB(70, 70, 70)); },
    [](TPainter& p) { p.Ellipse_(2, 2, 14, 14, kBlue, RGB(20, 50, 120)); p.Line(8, 7, 8, 12, RGB(255, 255, 255), 2); p.Line(8, 4, 8, 5, RGB(255, 255, 255), 2); },
    [](TPainter& p) { p.Ellipse_(2, 2, 14, 14, RGB(255, 255, 255), kGreen); p.Poly({{10, 1}, {14, 4}, {10, 6}}, kGreen, kGreen); },
    [](TPainter& p) { p.Ellipse_(2, 2, 14, 14, RGB(255, 250, 200), kBlue); p.Line(8, 10, 8, 12, kBlue, 2); p.Line(6, 5, 10, 5, kBlue, 2); p.Line(10, 5, 8, 9, kBlue, 2); },
    [](TPainter& p) { p.Box(2, 1, 10, 15, RGB(150, 100, 60), RGB(80, 50, 20)); p.Poly({{9, 8}, {14, 5}, {14, 11}}, kRed, kRed); },
    [](TPainter& p) { p.Zip(2, 3); p.Line(11, 0, 15, 4, RGB(230, 180, 0), 2); p.Line(15, 0, 11, 4, RGB(230, 180, 0), 2); },
    [](TPainter& p) { p.Zip(2, 3); p.Play(9, 4, kGreen); },
    [](TPainter& p) { p.Folder(1, 1); },
    [](TPainter& p) { p.Zip(1, 1); p.Arrow(false, kGreen); },
    [](TPainter& p) { p.Zip(0, 2); p.Box(9, 6, 15, 12, RGB(250, 220, 90), RGB(140, 110, 20)); },
    [](TPainter& p) { p.Box(1, 4, 7, 10, RGB(250, 220, 90), RGB(140, 110, 20)); p.Box(9, 4, 15, 10, RGB(250, 220, 90), RGB(140, 110, 20)); p.Line(7, 7, 9, 7, kBlue, 2); },
    [](TPainter& p) { p.Zip(1, 2); p.Cross(8, 8, 6, kRed); },
    [](TPainter& p) { p.Arrow(true, kBlue); },
    [](TPainter& p) { p.Arrow(false, kBlue); },
    [](TPainter& p) { p.Page(3, 1, RGB(255, 255, 220)); },
    [](TPainter& p) { p.Poly({{8, 1}, {15, 14}, {1, 14}}, RGB(250, 210, 40), RGB(150, 100, 0)); p.Line(8, 5, 8, 10, RGB(0, 0, 0), 2); },
    [](TPainter& p) { p.Ellipse_(1, 1, 15, 15, RGB(200, 230, 255), kBlue); p.Line(1, 8, 15, 8, kBlue); p.Line(8, 1, 8, 15, kBlue); },
};

// Rows: 0 ordinary, 2 ordinary with errors, 3 multi-computer, 4 computer, 5
// multi-computer with errors, 6 computer with errors, 7-10 the same kinds that keep
// zip logs (1 is not used by the rows).
void DrawRowImage(TPainter& p, int index) {
  const bool mc = index == 3 || index == 5 || index == 9 || index == 10;
  const bool computer = index == 4 || index == 6;
  const bool failed = index == 2 || index == 5 || index == 6 || index == 8 || index == 10;
  const bool logs = index >= 7;
  const COLORREF screen = failed ? RGB(250, 190, 190) : RGB(180, 230, 180);
  if (computer) p.Monitor(2, 3, screen);
  else if (mc) {
    p.Monitor(0, 0, screen);
    p.Monitor(5, 5, screen);
  } else {
    p.Zip(1, 2);
  }
  if (logs) p.Box(10, 9, 16, 16, RGB(255, 255, 255), RGB(60, 60, 140));
  if (failed) p.Cross(11, 1, 4, kRed);
}

}  // namespace

void TMainForm::DrawImages() {
  for (TDraw draw : kToolbarImages)
    tk::AddDrawnImage(ilToolbar, [draw](HDC dc, int, int) {
      TPainter p{dc};
      draw(p);
    });
  for (int i = 0; i <= 10; ++i)
    tk::AddDrawnImage(ilListview, [i](HDC dc, int, int) {
      TPainter p{dc};
      DrawRowImage(p, i);
    });
}
