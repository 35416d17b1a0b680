// The real RunQb.exe, started from a copied program folder whose QbEw.exe is a
// stand-in that records what the runner hands to the viewer.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/fernoini.h"
#include "support/testutil.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

using qbtest::Exists;
using qbtest::ReadFile;
using qbtest::RegRead;
using qbtest::RegWrite;

const char kGeneral[] = "Options\\General";

// A program folder of its own: RunQb (under the given name), the two libraries and
// the viewer's stand-in, each left out on request.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& exeName = "RunQb.exe", bool withViewer = true,
                         bool withUnzipLibrary = true)
      : exe_(dir_ / exeName) {
    Copy("RunQb.exe", exeName);
    Copy("dzip32.dll", "dzip32.dll");
    if (withUnzipLibrary) Copy("dunzip32.dll", "dunzip32.dll");
    if (withViewer) Copy("frame_viewer_standin.exe", "QbEw.exe");
    SetEnvironmentVariableW(L"QB_VIEWER_LOG", tk::Widen(ViewerLog()).c_str());
    SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(SessionLog()).c_str());
  }
  const std::string& Exe() const { return exe_; }
  std::string Dir() const { return dir_.path(); }
  std::string ViewerLog() const { return dir_ / "viewer.log"; }
  std::string SessionLog() const { return dir_ / "session.log"; }

  int Run(const std::string& args) { return qbtest::RunProgram(exe_, args, 60000); }

  // Started without waiting; Wait() collects the exit code.
  void Start(const std::string& args) { ASSERT_TRUE(process_.Start(exe_, args)); }
  int Wait() { return process_.Wait(60000); }
  // A top-level window of the started process with this class, waited for.
  HWND FindProcessWindow(const wchar_t* className, unsigned timeoutMs = 30000, bool mustBeVisible = true) const {
    return static_cast<HWND>(process_.FindProcessWindow(className, timeoutMs, mustBeVisible));
  }

  // The viewer's command line once the runner has ended ("" when it started none).
  std::string ViewerCommand() const { return tk::TrimRight(qbtest::OutputOfStarted(dir_ / "QbEw.exe", ViewerLog())); }
  // The viewer's words after its own name.
  std::vector<std::string> ViewerArgs() const {
    std::vector<std::string> words = tk::SplitCommandLine(ViewerCommand());
    if (!words.empty()) words.erase(words.begin());
    return words;
  }

 private:
  void Copy(const std::string& from, const std::string& to) {
    ASSERT_TRUE(CopyFileW(tk::Widen(qbtest::BinDir() + from).c_str(), tk::Widen(dir_ / to).c_str(), FALSE))
        << from;
  }
  qbtest::TempDir dir_;
  std::string exe_;
  qbtest::ChildProcess process_;
};

std::string WindowText(HWND w) { return qbtest::WindowText(w); }
HWND FindChild(HWND parent, const std::string& text) { return static_cast<HWND>(qbtest::FindChildByText(parent, text)); }

std::vector<std::string> ErrorFiles() {
  std::vector<std::string> names;
  for (const tk::TSearchRec& r : tk::FindFiles(GetErrorsDir() + "*.err")) names.push_back(r.name);
  return names;
}

class RunQbProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    before_ = ErrorFiles();
  }
  void TearDown() override {
    // The error files this test made go again.
    for (const std::string& name : ErrorFiles())
      if (std::find(before_.begin(), before_.end(), name) == before_.end()) tk::RemoveFile(GetErrorsDir() + name);
    qbtest::ClearQuillbankKey();
  }
  // The lines of the error file the viewer was given.
  std::vector<std::string> HandedLines(const ProgramFolder& folder) {
    const std::vector<std::string> args = folder.ViewerArgs();
    if (args.empty()) return {};
    EXPECT_NE(args[0], "NOFILENAME");
    return tk::SplitLines(ReadFile(args[0]));
  }
  std::vector<std::string> before_;
};

TEST_F(RunQbProgram, WithoutArgumentsDoesNothingButDeleteTheOneShotValues) {
  // Move the runner's folders aside, so that a new one would show.
  const std::string logs = tk::ExcludeTrailingBackslash(GetLogsDir());
  const std::string errors = tk::ExcludeTrailingBackslash(GetErrorsDir());
  const std::string logsAside = logs + ".aside", errorsAside = errors + ".aside";
  const bool hadLogs = tk::DirectoryExists(logs), hadErrors = tk::DirectoryExists(errors);
  if (hadLogs) {
    ASSERT_TRUE(tk::RenameFile(logs, logsAside));
  }
  if (hadErrors) {
    ASSERT_TRUE(tk::RenameFile(errors, errorsAside));
  }

  // What a starter that cut the command line left for the run does not outlive it.
  RegWrite(kGeneral, "bRunViaAutoRun", "1");
  RegWrite(kGeneral, "sMediaInserted", "QBMEDIA");
  ProgramFolder folder;
  const int rc = folder.Run("");
  const bool logsMade = tk::DirectoryExists(logs), errorsMade = tk::DirectoryExists(errors);
  if (logsMade) RemoveDirectoryW(tk::Widen(logs).c_str());
  if (errorsMade) RemoveDirectoryW(tk::Widen(errors).c_str());
  if (hadLogs) tk::RenameFile(logsAside, logs);
  if (hadErrors) tk::RenameFile(errorsAside, errors);

  EXPECT_EQ(rc, 0);
  EXPECT_FALSE(logsMade);
  EXPECT_FALSE(errorsMade);
  EXPECT_EQ(folder.ViewerCommand(), "");
  EXPECT_EQ(RegRead(kGeneral, "bRunViaAutoRun"), "<missing>");
  EXPECT_EQ(RegRead(kGeneral, "sMediaInserted"), "<missing>");
}

TEST_F(RunQbProgram, OnlyTheFirstLetterOfTheCommandCounts) {
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("rb"), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Couldn't run: No profile(s) given to run"});
  }
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("tr"), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Couldn't test: No profile(s) given to test"});
  }
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("Q something"), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Incorrect program usage"});
  }
}

TEST_F(RunQbProgram, RunCommandsNeedAProfileName) {
  // Run-and-test shares the run's check; a lone pair of quotes is no name.
  for (const std::string args : {"B", "b", "R \"\""}) {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run(args), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Couldn't run: No profile(s) given to run"}) << args;
  }
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("T \"\""), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Couldn't test: No profile(s) given to test"});
  }
  // Nothing was started, so nothing was refreshed.
  EXPECT_EQ(RegRead(kGeneral, "ToRefresh"), "<missing>");
}

TEST_F(RunQbProgram, SplitChecksItsArguments) {
  qbtest::TempDir work;
  const std::string zip = work / "a b.zip";
  qbtest::WriteFile(zip, std::string(100, 'z'));
  {
    // Two arguments instead of three: refused before any file is looked at.
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("S \"" + work / "missing.zip" + "\" \"" + work / "vol.zip" + "\""), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Incorrect usage"});
  }
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("S \"" + work / "missing.zip" + "\" \"" + work / "vol.zip" + "\" 1000000"), 1);
    EXPECT_EQ(HandedLines(folder),
              std::vector<std::string>{"0 Couldn't split: Zip file \"" + work / "missing.zip" + "\" doesn't exist"});
  }
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("S \"" + zip + "\" \"" + work / "vol.zip" + "\" 12x"), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 12x is not a valid volume size"});
  }
  for (const std::string size : {"50000", "-1"}) {
    // A number is the split's to judge: it names the smallest volume it can make.
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("S \"" + zip + "\" \"" + work / "vol.zip" + "\" " + size), 20);
    EXPECT_EQ(HandedLines(folder),
              (std::vector<std::string>{"20 The volume size of " + size + " bytes is below the smallest, 65536 bytes",
                                        "20 Invalid combination of multi-volume control parameters"}));
    EXPECT_FALSE(Exists(work / "vol.zip"));
  }
}

TEST_F(RunQbProgram, JoinAndExtractCheckTheirFiles) {
  qbtest::TempDir work;
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("A \"" + work / "last.zip" + "\" \"" + work.path() + "\""), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Couldn't join: Last zip volume \"" +
                                                            work / "last.zip" + "\" doesn't exist"});
  }
  qbtest::WriteFile(work / "last.zip", "PK");
  {
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("A \"" + work / "last.zip" + "\" \"" + work / "nowhere" + "\""), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Couldn't join: Directory \"" + work / "nowhere" +
                                                            "\" doesn't exist"});
  }
  {
    // The extension .zip is forced onto the name.
    ProgramFolder folder;
    EXPECT_EQ(folder.Run("X \"" + work / "backup.dat" + "\" *.* \"" + work / "out" + "\""), 1);
    EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 Couldn't extract: ZIP file \"" +
                                                            work / "backup.zip" + "\" doesn't exist"});
  }
}

TEST_F(RunQbProgram, AClearRunStartsNoViewerAndWritesNoErrorFile) {
  qbtest::TempDir work;
  qbtest::WriteFile(work / "note.txt", "some text to keep");
  ASSERT_EQ(qbtest::RunUnix("cd '" + qbtest::ToUnixPath(work.path()) + "' && zip -q in.zip note.txt"), 0);
  ProgramFolder folder;
  EXPECT_EQ(folder.Run("X \"" + work / "in.zip" + "\" *.* \"" + work / "out" + "\""), 0);
  EXPECT_EQ(ReadFile(work / "out\\note.txt"), "some text to keep");
  EXPECT_EQ(folder.ViewerCommand(), "");
  EXPECT_EQ(ErrorFiles(), before_);
}

TEST_F(RunQbProgram, RenamedProgramStillDeletesTheOneShotValues) {
  RegWrite(kGeneral, "bRunFromScheduler", "1");
  RegWrite(kGeneral, "bRunViaAutoRun", "0");
  RegWrite(kGeneral, "sMsgBeforeAutoRun", "Run them?");
  RegWrite(kGeneral, "sMediaInserted", "BACKUP1");
  RegWrite(kGeneral, "sProfilesToDeselect", "Docs");
  RegWrite(kGeneral, "sSelectedMcNames", "PC1,PC2");
  RegWrite(kGeneral, "bRunningShutdownProfiles", "1");

  ProgramFolder folder("RunQbOld.exe");
  EXPECT_EQ(folder.Run("R Docs"), 1);
  const std::vector<std::string> args = folder.ViewerArgs();
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[1], "/RunFromScheduler");
  EXPECT_EQ(tk::SplitLines(ReadFile(args[0])),
            std::vector<std::string>{"0 Don't rename the EXE file, it should be RunQb.exe"});
  for (const char* name : {"bRunFromScheduler", "bRunViaAutoRun", "sMsgBeforeAutoRun", "sMediaInserted",
                           "sProfilesToDeselect", "sSelectedMcNames"})
    EXPECT_EQ(RegRead(kGeneral, name), "<missing>") << name;
  // This one belongs to the scheduler, which clears it itself.
  EXPECT_EQ(RegRead(kGeneral, "bRunningShutdownProfiles"), "1");
  // A failed start asks nothing of the session.
  EXPECT_FALSE(Exists(folder.SessionLog()));
}

TEST_F(RunQbProgram, MissingLibraryIsNamed) {
  ProgramFolder folder("RunQb.exe", true, false);
  EXPECT_EQ(folder.Run("R Docs"), 1);
  EXPECT_EQ(HandedLines(folder), std::vector<std::string>{"0 File not found: " + folder.Dir() + "dunzip32.dll"});
}

TEST_F(RunQbProgram, MissingViewerIsShownInABox) {
  ProgramFolder folder("RunQb.exe", false);
  folder.Start("R Docs");
  HWND box = folder.FindProcessWindow(L"TMessageForm");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), "Error");
  EXPECT_NE(FindChild(box, "The required file QbEw.exe is not found"), nullptr);
  HWND ok = FindChild(box, "OK");
  ASSERT_NE(ok, nullptr);
  PostMessageW(ok, BM_CLICK, 0, 0);
  EXPECT_EQ(folder.Wait(), 1);
}

TEST_F(RunQbProgram, CancelInTheProfileChoiceEndsWithoutATrace) {
  RegWrite(kGeneral, "bRunViaAutoRun", "1");
  RegWrite(kGeneral, "AutoRunDelay", "0");
  RegWrite(kGeneral, "sMsgBeforeAutoRun", "Back up now?");
  ProgramFolder folder;
  folder.Start("R Docs Mail");
  HWND ask = folder.FindProcessWindow(L"TAskForm");
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(WindowText(ask), "Quillbank 2.0");
  EXPECT_NE(FindChild(ask, "Back up now?"), nullptr);
  HWND cancel = FindChild(ask, "Cancel");
  ASSERT_NE(cancel, nullptr);
  PostMessageW(cancel, BM_CLICK, 0, 0);
  EXPECT_EQ(folder.Wait(), 0);
  EXPECT_EQ(folder.ViewerCommand(), "");
  EXPECT_EQ(ErrorFiles(), before_);
  EXPECT_EQ(RegRead(kGeneral, "ToRefresh"), "<missing>");
  EXPECT_EQ(RegRead(kGeneral, "sMsgBeforeAutoRun"), "<missing>");
}

TEST_F(RunQbProgram, ShutdownRunHoldsTheSessionThenEndsItThroughTheSeam) {
  RegWrite(kGeneral, "bRunningShutdownProfiles", "1");
  RegWrite(kGeneral, "WinShutdown", "2");  // the system was asked for a log-off
  RegWrite(kGeneral, "ShutdownDelay", "2");
  ProgramFolder folder;
  folder.Start("T NoSuchProfile");
  HWND countdown = folder.FindProcessWindow(L"TAutoRunDelayForm");
  ASSERT_NE(countdown, nullptr);
  EXPECT_NE(FindChild(countdown, "Log off..."), nullptr);
  HWND main = folder.FindProcessWindow(L"TRunFoMainForm", 1000, false);
  ASSERT_NE(main, nullptr);
  // While the shutdown profiles run, the runner holds the end of the session up.
  DWORD_PTR answer = 1;
  ASSERT_NE(SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer), 0);
  EXPECT_EQ(answer, 0u);
  answer = 1;
  ASSERT_NE(SendMessageTimeoutW(countdown, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer),
            0);
  EXPECT_EQ(answer, 0u);
  EXPECT_EQ(folder.Wait(), 1);
  // The errors went to the viewer before the countdown; then the log-off was asked.
  EXPECT_FALSE(HandedLines(folder).empty());
  ASSERT_TRUE(Exists(folder.SessionLog()));
  EXPECT_EQ(tk::SplitLines(ReadFile(folder.SessionLog())),
            std::vector<std::string>{"ExitWindowsEx 0x00000000 reason 0x00040000"});
  // The countdown remembers the kind shown: log off.
  EXPECT_EQ(RegRead(kGeneral, "LastShutdown"), "2");
}

TEST_F(RunQbProgram, RestartInTheShutdownCountdownRestarts) {
  RegWrite(kGeneral, "bRunningShutdownProfiles", "1");
  RegWrite(kGeneral, "ShutdownDelay", "30");
  ProgramFolder folder;
  folder.Start("T NoSuchProfile");
  HWND countdown = folder.FindProcessWindow(L"TAutoRunDelayForm");
  ASSERT_NE(countdown, nullptr);
  EXPECT_NE(FindChild(countdown, "Turn off..."), nullptr);
  HWND restart = FindChild(countdown, "Restart");
  ASSERT_NE(restart, nullptr);
  PostMessageW(restart, BM_CLICK, 0, 0);
  EXPECT_EQ(folder.Wait(), 1);
  EXPECT_EQ(tk::SplitLines(ReadFile(folder.SessionLog())),
            std::vector<std::string>{"ExitWindowsEx 0x00000002 reason 0x00040000"});
}

}  // namespace
