#pragma once
// The week-day editor that the schedule and autorun editors embed: a box of presets
// ("All 7 days", "Monday only", ..., "Custom") over a check list of the seven days.
// Its state is the seven checks, read and written as a week-day mask ('0'/'1',
// Monday first). Each host gives the group its own caption.
#include <string>

#include "toolkit/win_checklistbox.h"
#include "toolkit/win_frame.h"
#include "toolkit/win_groupbox.h"

class TDaysFrame : public tk::TFrame {
 public:
  TDaysFrame();

  tk::TGroupBox gboxDays;
  tk::TComboBox cbDays;
  tk::TCheckListBox chklbDays;

  static constexpr int CustomPreset = 8;

  std::string GetDays() const;
  // Checks from the mask, then the matching preset chosen.
  void SetDays(const std::string& mask);

  void cbDaysChange();
  void chklbDaysClickCheck();
  void chklbDaysClick();

 private:
  void SetChecksFromMask(const std::string& mask);
  void SelectPreset();
};
