#pragma once
// Flat painting of standard controls: while the flat menu component is active, each
// qualifying control of its form (combo and edit boxes, rich edits, check boxes,
// radio buttons, push and bitmap buttons, speed buttons, panels, group boxes) gets
// one TControlSubClass. It replaces the control's window procedure, lets the old one
// handle every message first, tracks hover, focus and press, and paints a flat
// frame, button or mark over the control. Once the component is off, the object hands
// the procedure back at the control's next message and ends.
#include <windows.h>

#include "controls/flatmenu.h"
#include "toolkit/win_controls.h"

namespace g32 {

class TControlSubClass {
 public:
  // Takes over the control's window procedure unless another flat painter has it.
  TControlSubClass(TXPMenu& component, tk::TControl& control);
  // Hands the control back its window procedure and border when it still has them.
  ~TControlSubClass();
  TControlSubClass(const TControlSubClass&) = delete;
  TControlSubClass& operator=(const TControlSubClass&) = delete;

  // True for a window procedure installed by a flat painter.
  static bool IsHook(const tk::TControl& control);

  tk::TControl* Control = nullptr;
  bool Rebuilding = false;  // the window is being rebuilt: its end is no end of the painting
  bool Hot = false;         // mouse inside, or the focus came
  bool MouseDown = false;
  bool SpaceDown = false;
  bool SpaceHeld = false;   // the space key's first press was painted (auto-repeat)
  bool Focused = false;     // the control had the focus at the last repaint
  tk::TControl::TWndMethod SavedWindowProc;
  TXPMenu* Component = nullptr;
  bool SavedCtl3D = true;
  bool SavedBorderSingle = true;
  UINT LastMessage = 0;

  LRESULT SubclassWindowProc(UINT msg, WPARAM wp, LPARAM lp);
  // The one entry to the painters.
  void RepaintFlat();

 private:
  void Restore();
  void Repaint();
  void PaintCombo(tk::TCanvas& c, RECT client);
  void PaintEdit(tk::TCanvas& c, RECT client);
  void PaintRichEdit();
  void PaintCheck(tk::TCanvas& c, RECT client, bool radio);
  void PaintButtonFace(tk::TCanvas& c, RECT client);
  void PaintButton(tk::TCanvas& c, RECT client);
  void PaintBitBtn(tk::TCanvas& c, RECT client);
  void PaintSpeedButton(tk::TCanvas& c, RECT client);
  void PaintGroupBox(tk::TCanvas& c, RECT client);
  void PaintPanel(tk::TCanvas& c, RECT client);
  tk::TColor ControlColor() const;
  tk::TColor ParentColor() const;
  bool hooked_ = false;
  bool painting_ = false;
};

// Whether ApplyLook gives the control a flat painter: its kind in controls and its
// parent's kind in containers, neither with Tag 999.
bool QualifiesForFlatPainting(const tk::TControl& control, TXPControls controls, TXPContainers containers);

}  // namespace g32
