#pragma once
// The tray scheduler: one hidden window whose procedure is the whole program. It
// checks the schedules each minute, starts the autorun of an arriving labelled volume,
// runs the start-up profiles once, holds up the end of the session for the shut-down
// profiles and keeps the tray icon in step with its switches and the last results.
#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "scheduler/schlogic.h"
#include "scheduler/trayico.h"
#include "settings/fernoini.h"
#include "settings/foschedules.h"

class TScheduler {
 public:
  TScheduler();
  ~TScheduler();
  TScheduler(const TScheduler&) = delete;
  TScheduler& operator=(const TScheduler&) = delete;

  // The whole program from its start to the exit code.
  int Run();

  LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // The switches; each updates the tray right after changing its flag.
  void AutorunOn();
  void AutorunOff();
  void SchedulerOff();
  void EnableScheduler();
  void SchedulerOn();
  void UpdateTrayState();

  void CheckDueSchedules();
  void VolumeArrived(char driveLetter);
  void CheckMediaAutoRuns(const std::string& label);
  void StartStartupProfiles();

 private:
  bool LoadIcons();
  HICON IconFor(const char* name) const;
  void ResetMinuteTimer();
  void StartManager();
  void AskClose();
  void ShowTrayMenu();
  LRESULT QueryEndSession(LPARAM lParam);
  void EndSession(bool ending);
  void RunShutdownCommand();

  HWND window_ = nullptr;
  bool schedulerOn_ = false;
  bool autorunOn_ = true;
  bool allRunsOK_ = true;
  bool allTestsOK_ = true;
  bool autorunSkipped_ = false;
  bool enablePending_ = false;  // Enable Scheduler waits for its timer
  // The minutes of the due checks so far.
  TCheckedMinutes minutes_;
  // The minute the first timer saw at its previous tick, to find the next full minute
  // even when a tick misses second 0.
  long long gridMinute_ = -1;
  // States before an end-session query that did not start the shut-down profiles;
  // they come back when the end of the session is cancelled.
  bool restorePending_ = false;
  bool savedSchedulerOn_ = false;
  bool savedAutorunOn_ = false;
  std::unique_ptr<TFernoIni> ini_;
  // Loads a new schedule list; the text naming the entries it could not read that no
  // box named yet ("" when none), for the box that says so.
  std::string LoadSchedules();
  static void ShowUnreadSchedules(const std::string& unread);
  // What the boxes said of the unread schedules of the list loaded last, and of
  // autoruns: each entry is named once, however often it is loaded again.
  std::set<std::string> unreadShown_;
  std::set<std::string> autorunsShown_;
  std::vector<std::string> pendingBoxes_;
  std::unique_ptr<TFoSchedules> schedules_;
  std::unique_ptr<TTrayIco> tray_;
  HICON icons_[8] = {};
};

// Finds a running scheduler's window: by class and caption, else the first top-level
// window of the scheduler's class whose caption begins with "Qb Scheduler".
HWND FindSchedulerWindow();

// Asks whether to erase, then deletes the settings, the logs, the error files and the
// combo-box history.
void EraseAllSettings();

int SchedulerMain();
