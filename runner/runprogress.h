#pragma once
// What the run engine and the commands show while they work, and what command B keeps
// between its run and its test. The progress window implements it; so can anything else
// that wants to run a command without that window (a test records what it was shown).
// The engine and the commands reach their view only through this class: they open no
// window of their own.
#include <memory>
#include <string>

#include "runner/icons.h"
#include "runner/zipfile.h"
#include "settings/unzipfile.h"
#include "toolkit/stringlist.h"
#include "toolkit/win_canvas.h"

class TRunProgress {
 public:
  virtual ~TRunProgress() = default;

  // The two zip components the commands fill and run. Their progress callbacks are the
  // view's own; their messages are answered by the engine for each call.
  virtual TZipFile& ZipComponent() = 0;
  virtual TUnzipFile& UnzipComponent() = 0;

  // The caption of the run, a status icon shown or hidden, and the text while a
  // computer's share is checked ("" hides it; shown, it is painted at once).
  virtual void ShowCaption(const std::string& caption) = 0;
  virtual void ShowIcon(TStatusIcon icon, bool shown) = 0;
  virtual void ShowCheckingSource(const std::string& text) = 0;
  // A new target: every bar to 0, the file name emptied and painted, and the major bar
  // free to start over.
  virtual void ResetProgress() = 0;
  // The current file and the current item of the overall progress, set outright.
  virtual void ShowFileName(const std::string& name) = 0;
  virtual void ShowMajorItem(const std::string& item) = 0;
  // The colours of the gradient bars (no effect on plain ones).
  virtual void SetBarColors(tk::TColor color, int contrast) = 0;
  // What a command asks of the user: the folder to extract to when the command line
  // names none ("" when none was chosen), and the countdown of seconds before the test
  // of B (returns when it is over or skipped).
  virtual std::string ChooseFolder(const std::string& prompt) = 0;
  virtual void ShowDelay(int seconds, const std::string& caption, const std::string& text) = 0;

  // Command B: names that zipped without error (profile, or profile + '"' + computer),
  // and the lines of CustomRunAndTestDelay with the longest matching delay so far.
  std::unique_ptr<tk::TStringList> RanOKList;
  std::unique_ptr<tk::TStringList> CustomDelayList;
  int LongestCustomDelay = 0;
  bool CustomDelayMatched = false;  // some line matched, whatever its seconds
};
