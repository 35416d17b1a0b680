#pragma once
// Hover hints: after the mouse has rested on a control with a hint (or on a tool
// button with one) for the hint pause, the application's hint window shows the text
// below the pointer; it goes after the hide pause, when the pointer leaves, at a
// click or key, or when a menu opens. The windows come from the application's hint window class
// (win_hint.h), so a program that changed the class gets its look everywhere.
#include <string>

namespace tk {

struct THintTiming {
  unsigned HintPause = 500;       // ms of rest before a hint shows
  unsigned HintHidePause = 2500;  // ms a hint stays
  bool HintShortCuts = false;     // the hint of an action's tool button names its shortcut
};

// Switches the hover hints on for the whole program with these times (again: new times).
void EnableHoverHints(const THintTiming& timing);
const THintTiming& HoverHintTiming();
// The text of the hint showing now; "" when none shows.
std::string ShownHoverHint();
// Hides the hint showing now.
void CancelHoverHint();

}  // namespace tk
