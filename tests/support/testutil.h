#pragma once
// Shared helpers of the test programs: real folders, real processes, the real registry.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qbtest {

// True under scripts/test (QB_FRAME_SET_UP=1), which sets up all a test needs of its
// machine and prefix: the test drives, a small file system to mount, 96 DPI.
bool FrameSetUp();

// A test body's need of the frame: when it is not met the test is skipped, except under
// scripts/test, where the frame's own fault fails it.
#define QB_FRAME_NEEDS(met, what)                                 \
  if (met) {                                                      \
  } else if (qbtest::FrameSetUp()) {                              \
    FAIL() << (what) << ", though scripts/test sets it up";       \
  } else                                                          \
    GTEST_SKIP() << (what)

// Folder of the built programs and DLLs (Windows path, trailing backslash).
std::string BinDir();
// Folder of the source tree (Windows path, trailing backslash).
std::string SourceDir();

// Path conversion between Wine's Windows view and the Linux side (for outside tools).
std::string ToUnixPath(const std::string& winPath);
std::string ToWinPath(const std::string& unixPath);

// A new, empty folder that is removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }  // with trailing backslash
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void RemoveTree(const std::string& path);
// The non-empty lines of a text file (none when it is missing).
std::vector<std::string> FileLines(const std::string& path);
// Polls done every 50 ms until it is true or ms have passed; its last answer.
bool WaitUntil(const std::function<bool()>& done, unsigned ms);
void MakeDirs(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
std::vector<std::string> ListDir(const std::string& folder);  // names, sorted, no . and ..

// Runs a Windows program and waits; returns its exit code, or -1 when it did not start
// and -2 when it had to be killed after the timeout.
int RunProgram(const std::string& exe, const std::string& args, unsigned timeoutMs = 60000);
// The same for a whole command line, its program found as the system finds a Run value's.
int RunCommandLine(const std::string& commandLine, unsigned timeoutMs = 60000);
// A started Windows program that the test watches: its windows can be found while it
// runs, and it has ended when the object goes (killed if it had to be).
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Start(const std::string& exe, const std::string& args);
  bool Running() const;
  // Waits for the end and returns the exit code (-2 after the timeout, the process then
  // killed; -1 when none was started). With pumpMessages the calling thread's window
  // messages are dispatched meanwhile, so the test's own windows receive what the
  // program posts or sends them.
  int Wait(unsigned timeoutMs = 60000, bool pumpMessages = false);
  // A top-level window of the process with this class, waited for; visible unless
  // mustBeVisible is false. nullptr when none came in time.
  void* FindProcessWindow(const wchar_t* className, unsigned timeoutMs = 60000, bool mustBeVisible = true) const;
  unsigned long Id() const { return id_; }

 private:
  void* process_ = nullptr;
  unsigned long id_ = 0;
};

// The running processes whose program lies in folder or below it: their ids and their
// programs' paths in lower case.
struct TRunningProgram {
  unsigned long Id;
  std::string Program;
};
std::vector<TRunningProgram> ProgramsRunningFrom(const std::string& folder);
// What a program that another one started writes into file as it runs (it renames the file
// into place whole): waited for while a process of that program runs, at most ms; "" once
// none runs and the file is not there. Asked after the starter has ended, whose start of
// the program is then visible.
std::string OutputOfStarted(const std::string& program, const std::string& file, unsigned ms = 15000);

// The text of a window (of any process), and a child control of a window by its text
// (nullptr when there is none). Windows are passed as their HWND.
std::string WindowText(void* window);
void* FindChildByText(void* parent, const std::string& text);
// What a window shows once it has painted, row by row of its client area less inset
// pixels on each side: the first and last x of the dark pixels, {-1, -1} for none.
std::vector<std::pair<int, int>> InkRows(void* window, int inset = 0);
// How many pixels of each colour a window shows in its client area, as drawn now.
std::map<unsigned long, int> Colours(void* window);
// The text of an edit, measured in the edit's own font, fits the room the edit draws its
// text in (which ends where the arrows of a bound up-down begin).
bool EditShowsAllItsText(void* edit);

// Closes every visible top-level window of this process: dialogs and boxes get Cancel,
// every window Escape and WM_CLOSE. Each is reported on stderr after `why`. Returns
// how many there were.
int CloseOwnWindows(const std::string& why);

// A person at the screen: runs `part` on a second thread while the test's own thread
// shows a modal window (the part finds it, types, clicks). Should the window still be
// open 10 s after the part is over (an answer that did not land, a box nobody expected),
// the process's windows are closed, so the modal call returns and the test fails in
// seconds instead of hanging. Declare it before the modal call, in the same scope.
class TPerson {
 public:
  explicit TPerson(std::function<void()> part);
  ~TPerson();
  TPerson(const TPerson&) = delete;
  TPerson& operator=(const TPerson&) = delete;

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// Runs a shell command on the Linux side (/bin/sh -c); stdout and stderr go to *output.
int RunUnix(const std::string& shellCommand, std::string* output = nullptr, unsigned timeoutMs = 120000);

// Deletes HKCU\Software\Quillbank with everything below it.
void ClearQuillbankKey();
// Registry reads for assertions: the REG_SZ text, or "<missing>".
std::string RegRead(const std::string& subkeyBelowQuillbank, const std::string& value);
std::vector<std::string> RegValueNames(const std::string& subkeyBelowQuillbank);
void RegWrite(const std::string& subkeyBelowQuillbank, const std::string& value, const std::string& text);

}  // namespace qbtest
