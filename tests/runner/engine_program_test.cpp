// The real RunQb.exe runs, tests, splits, joins and extracts profiles written to the
// registry; the zips are read back by outside tools. Each run starts from a copied
// program folder whose QbEw.exe is the stand-in that records the error hand-off.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/fernoini.h"
#include "settings/qbprofile.h"
#include "support/testutil.h"
#include "toolkit/cmdline.h"
#include "toolkit/files.h"
#include "toolkit/format.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

namespace {

using qbtest::Exists;
using qbtest::ReadFile;
using qbtest::RegRead;
using qbtest::RegValueNames;
using qbtest::RegWrite;
using qbtest::WriteFile;

const std::string kMissing = "<missing>";

// The profile flag string with the given positions set.
std::string Flags(std::initializer_list<int> on) {
  std::string b(20, '0');
  for (int i : on) b[static_cast<size_t>(i - 1)] = '1';
  return b;
}

class RunnerFolder {
 public:
  RunnerFolder() {
    for (auto [from, to] : {std::pair{"RunQb.exe", "RunQb.exe"}, {"dzip32.dll", "dzip32.dll"},
                            {"dunzip32.dll", "dunzip32.dll"}, {"frame_viewer_standin.exe", "QbEw.exe"}})
      EXPECT_TRUE(CopyFileW(tk::Widen(qbtest::BinDir() + from).c_str(), tk::Widen(dir_ / to).c_str(), FALSE)) << from;
    SetEnvironmentVariableW(L"QB_VIEWER_LOG", tk::Widen(dir_ / "viewer.log").c_str());
    SetEnvironmentVariableW(L"QB_SESSION_END_LOG", tk::Widen(dir_ / "session.log").c_str());
  }
  // Runs one command and waits, dispatching the test's window messages meanwhile; the
  // error lines it handed to the viewer afterwards.
  // A run that handed nothing over ended with 0; ExitCode() tells how any run ended.
  std::vector<std::string> Run(const std::string& args) {
    Start(args);
    exitCode_ = Wait();
    const std::vector<std::string> lines = HandedLines();
    if (lines.empty()) {
      EXPECT_EQ(exitCode_, 0) << args;
    }
    return lines;
  }
  int ExitCode() const { return exitCode_; }
  void Start(const std::string& args) {
    tk::RemoveFile(dir_ / "viewer.log");
    ASSERT_TRUE(process_.Start(dir_ / "RunQb.exe", args)) << args << ": error " << GetLastError();
  }
  int Wait() { return process_.Wait(120000, true); }
  // Ends the run at once, as the user's task manager would (TerminateProcess).
  void Kill() { process_.Wait(0); }
  HWND FindProcessWindow(const wchar_t* className) const {
    return static_cast<HWND>(process_.FindProcessWindow(className));
  }
  bool Running() const { return process_.Running(); }
  unsigned long ProcessId() const { return process_.Id(); }
  // The lines of the error file handed to the viewer ({} when none was).
  std::vector<std::string> HandedLines() const {
    std::vector<std::string> lines;
    // The runner starts the viewer without waiting for it.
    const std::string log = qbtest::OutputOfStarted(dir_ / "QbEw.exe", dir_ / "viewer.log");
    if (log.empty()) return lines;
    std::vector<std::string> words = tk::SplitCommandLine(log);
    EXPECT_GE(words.size(), 2u);
    if (words.size() < 2) return lines;
    EXPECT_EQ(words[0], dir_ / "QbEw.exe");
    for (const auto& l : tk::SplitLines(ReadFile(words[1]))) lines.push_back(l);
    return lines;
  }
  // The error file handed to the viewer ("" when none was).
  std::string HandedFile() const {
    if (!Exists(dir_ / "viewer.log")) return std::string();
    std::vector<std::string> words = tk::SplitCommandLine(ReadFile(dir_ / "viewer.log"));
    return words.size() >= 2 ? words[1] : std::string();
  }

 private:
  qbtest::TempDir dir_;
  qbtest::ChildProcess process_;  // ended before the folder goes
  int exitCode_ = -1;
};

std::string Unix(const std::string& win) { return "'" + qbtest::ToUnixPath(win) + "'"; }

// Item names of a zip as the Linux side reads them.
std::vector<std::string> ZipNames(const std::string& zip) {
  std::string out;
  EXPECT_EQ(qbtest::RunUnix("python3 -c 'import sys,zipfile; print(\"\\n\".join(zipfile.ZipFile(sys.argv[1]).namelist()))' " +
                                Unix(zip),
                            &out),
            0)
      << out;
  std::vector<std::string> names = tk::SplitLines(out);
  std::sort(names.begin(), names.end());
  return names;
}

bool UnzipTestPasses(const std::string& zip) {
  std::string out;
  return qbtest::RunUnix("unzip -tq " + Unix(zip), &out) == 0;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void SetAge(const std::string& file, int daysBack) {
  HANDLE h = CreateFileW(tk::Widen(file).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart -= static_cast<ULONGLONG>(daysBack) * 864000000000ULL;
  FILETIME ft{t.LowPart, t.HighPart};
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
}

std::vector<std::string> Matching(const std::string& mask) {
  std::vector<std::string> names;
  for (const auto& r : tk::FindFiles(mask)) names.push_back(r.name);
  std::sort(names.begin(), names.end());
  return names;
}

// A computer share for Wine: \\server\share is the local folder through the prefix's
// UNC links, gone again with the object.
class UncShare {
 public:
  UncShare(const std::string& server, const std::string& share, const std::string& folder)
      : server_("\"$WINEPREFIX/dosdevices/unc/" + server + "\"") {
    EXPECT_EQ(qbtest::RunUnix("mkdir -p " + server_ + " && ln -sfn " + Unix(tk::ExcludeTrailingBackslash(folder)) +
                              " " + server_ + "/" + share),
              0);
  }
  ~UncShare() { qbtest::RunUnix("rm -rf " + server_); }

 private:
  std::string server_;
};

// A hidden top-level window of the test under another program's class and title; it
// records the application messages that reach it as "0x800D 0 0" (message, wParam,
// lParam), dispatched while the test waits for the runner.
class ListeningWindow {
 public:
  ListeningWindow(const wchar_t* className, const wchar_t* title) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);  // already there after an earlier window of the class
    hwnd_ = CreateWindowExW(0, className, title, WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, wc.hInstance, nullptr);
    EXPECT_NE(hwnd_, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~ListeningWindow() { DestroyWindow(hwnd_); }
  const std::vector<std::string>& Received() const { return received_; }
  void Clear() { received_.clear(); }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<ListeningWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (self && msg >= WM_APP && msg <= 0xBFFF) {
      char text[64];
      std::snprintf(text, sizeof text, "0x%04X %lld %lld", msg, static_cast<long long>(wp), static_cast<long long>(lp));
      self->received_.push_back(text);
    }
    return DefWindowProcW(w, msg, wp, lp);
  }
  HWND hwnd_ = nullptr;
  std::vector<std::string> received_;
};

const std::vector<std::string> kResultsChanged{"0x800D 0 0"};
const std::vector<std::string> kRefresh{"0x800B 100 200"};
const std::vector<std::string> kNothing;

class EngineProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    qbtest::ClearQuillbankKey();
    RegWrite("Options\\General", "TempDirectory", temp_.path());
    RegWrite("Options\\General", "RunAndTestDelay", "0");
    src_ = work_ / "src\\";
    qbtest::MakeDirs(src_ + "sub");
    WriteFile(src_ + "a.txt", "alpha alpha alpha");
    WriteFile(src_ + "sub\\b.txt", "beta");
    WriteFile(src_ + "c.tmp", "scratch");
    WriteFile(src_ + "d.log", "log");
    out_ = work_ / "out\\";
  }
  void TearDown() override {
    for (const auto& name : profiles_)
      for (const auto& log : Matching(GetLogsDir() + name + " ziplog *.txt")) tk::RemoveFile(GetLogsDir() + log);
    qbtest::ClearQuillbankKey();
  }
  // A profile under Profiles\<name> with the values given.
  void Profile(const std::string& name, std::initializer_list<std::pair<const char*, std::string>> values) {
    // Listed in Profile Names too, where the summaries look for profiles.
    TFernoIni ini;
    ini.SetProfileName(static_cast<int>(profiles_.size()), name);
    profiles_.push_back(name);
    ini.SetProfileCount(static_cast<int>(profiles_.size()));
    RegWrite("Profiles\\" + name, "pn", name);
    for (const auto& [k, v] : values) RegWrite("Profiles\\" + name, k, v);
  }
  // A zip in the output folder made by the outside tool from one file, old.txt.
  std::string PreviousZip(const std::string& name) {
    qbtest::MakeDirs(out_);
    WriteFile(work_ / "old.txt", "the previous backup");
    const std::string zip = out_ + name;
    EXPECT_EQ(qbtest::RunUnix("cd " + Unix(work_.path()) + " && zip -q " + Unix(zip) + " old.txt"), 0);
    return zip;
  }
  qbtest::TempDir work_, temp_;
  std::string src_, out_;
  std::vector<std::string> profiles_;
  RunnerFolder runner_;
};

TEST_F(EngineProgram, AProfileIsBackedUpWithItsOptions) {
  RegWrite("ExFilters", "LogFiles", "log");
  const std::string zip = out_ + "Docs.zip";
  Profile("EngDocs", {{"zf", zip},
                      {"b", Flags({6})},
                      {"il", src_ + "*.*"},
                      {"ef", "*.tmp"},
                      {"efil", "LogFiles"},
                      {"cmt", "\"line one\",\"line two\""},
                      {"nrl", "2"}});
  const auto errors = runner_.Run("R EngDocs");
  EXPECT_TRUE(errors.empty()) << (errors.empty() ? "" : errors[0]);

  ASSERT_TRUE(Exists(zip));
  EXPECT_TRUE(UnzipTestPasses(zip));
  const auto names = ZipNames(zip);
  auto has = [&](const std::string& end) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return tk::EndsText(end, n); });
  };
  EXPECT_TRUE(has("a.txt"));
  EXPECT_TRUE(has("sub/b.txt"));
  EXPECT_FALSE(has(".tmp"));
  EXPECT_FALSE(has(".log"));
  std::string comment;
  qbtest::RunUnix("python3 -c 'import sys,zipfile; sys.stdout.write(repr(zipfile.ZipFile(sys.argv[1]).comment))' " +
                      Unix(zip),
                  &comment);
  EXPECT_EQ(comment, "b'line one\\r\\nline two\\r\\n'");

  double lrun = 0;
  EXPECT_TRUE(tk::TryStrToFloat(RegRead("Profiles\\EngDocs", "lrun"), &lrun, '.'));
  EXPECT_NEAR(lrun, tk::Now(), 0.01);
  EXPECT_EQ(RegRead("Profiles\\EngDocs", "ze"), kMissing);
  EXPECT_EQ(RegRead("Options\\General", "ToRefresh"), "\"EngDocs\" ");
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "1");

  const auto logs = Matching(GetLogsDir() + "EngDocs ziplog *.txt");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(ReadFile(GetLogsDir() + logs[0]).find("--- Quillbank ZIP Log - "), std::string::npos);
}

// A profile with a base folder keeps its folders' specs relative to it: each such spec,
// included or excluded, is matched below the base, a full path against the full path;
// the empty folders the specs select are kept, and a spec that selects nothing is named.
TEST_F(EngineProgram, ABaseFolderMatchesItsFoldersBelowIt) {
  const std::string base = work_ / "base\\";
  for (const char* dir : {"docs\\deep", "docs\\blank", "photos", "empty", "other"}) qbtest::MakeDirs(base + dir);
  for (const char* file : {"docs\\keep.txt", "docs\\deep\\inner.txt", "docs\\deep\\skip.tmp", "photos\\p.jpg",
                           "photos\\p.txt", "notes.txt", "other\\o.txt", "other\\left.txt"})
    WriteFile(base + file, file);
  const std::string zip = out_ + "Base.zip";
  Profile("EngBase", {{"zf", zip},
                      {"b", Flags({6})},
                      {"bdir", base},
                      {"il", "docs\\*.*,photos\\*.jpg,notes.txt,empty\\*.*,missing\\*.*," + base + "other\\o.txt"},
                      {"ef", "docs\\deep\\*.tmp"}});
  EXPECT_EQ(runner_.Run("R EngBase"), std::vector<std::string>{"0 No file matched \"missing\\*.*\""});
  EXPECT_EQ(runner_.ExitCode(), 0);
  EXPECT_EQ(RegRead("Profiles\\EngBase", "ze"), kMissing);
  ASSERT_TRUE(UnzipTestPasses(zip));
  EXPECT_EQ(ZipNames(zip),
            (std::vector<std::string>{"docs/", "docs/blank/", "docs/deep/", "docs/deep/inner.txt", "docs/keep.txt",
                                      "empty/", "notes.txt", "other/", "other/o.txt", "photos/", "photos/p.jpg"}));
}

// Specs typed by hand under a base folder: '/' as '\', a folder with or without its
// trailing '\' means the files in it (below it too when recursing), an exclude that ends in
// '\' leaves the folder out while a bare name leaves out files of that name only, and a run
// that finds nothing names the specs that failed.
TEST_F(EngineProgram, SpecsThatNameFoldersUnderABaseFolder) {
  const std::string base = work_ / "typed\\";
  for (const char* dir : {"Docs\\sub\\deeper", "Pics\\more", "Notes\\sub\\deep", "tmp\\inner", "cache"})
    qbtest::MakeDirs(base + dir);
  for (const char* file : {"Docs\\top.txt", "Docs\\sub\\s.txt", "Docs\\sub\\s.doc", "Docs\\sub\\deeper\\d.txt",
                           "Pics\\p.jpg", "Pics\\more\\m.jpg", "Notes\\n.txt", "Notes\\sub\\n.txt",
                           "Notes\\sub\\deep\\n2.txt", "tmp\\t.txt", "tmp\\inner\\i.txt", "cache\\c.txt", "keep.txt",
                           "Docs\\tmp"})
    WriteFile(base + file, file);
  const std::string typed = "Docs/sub/*.txt,Pics\\,Notes\\sub";
  Profile("EngDeep", {{"zf", out_ + "Deep.zip"}, {"b", Flags({6})}, {"bdir", base}, {"il", typed}});
  Profile("EngFlat", {{"zf", out_ + "Flat.zip"}, {"b", Flags({})}, {"bdir", base}, {"il", typed}});
  Profile("EngExcl",
          {{"zf", out_ + "Excl.zip"}, {"b", Flags({6})}, {"bdir", base}, {"il", "*.*"}, {"ef", "tmp,cache\\"}});
  Profile("EngNone", {{"zf", out_ + "None.zip"}, {"b", Flags({6})}, {"bdir", base}, {"il", "Nope/*.txt,Gone\\"}});
  EXPECT_EQ(runner_.Run("R EngDeep EngFlat EngExcl EngNone"),
            (std::vector<std::string>{"0 No file matched \"Nope/*.txt\"", "0 No file matched \"Gone\\\"",
                                      "12 Nothing to do: no file matched \"Nope/*.txt\", \"Gone\\\"",
                                      "12 EngNone: Nothing to do!"}));
  EXPECT_EQ(runner_.ExitCode(), 12);
  for (const char* zip : {"Deep.zip", "Flat.zip", "Excl.zip"}) EXPECT_TRUE(UnzipTestPasses(out_ + zip)) << zip;
  EXPECT_EQ(ZipNames(out_ + "Deep.zip"),
            (std::vector<std::string>{"Docs/", "Docs/sub/", "Docs/sub/deeper/", "Docs/sub/deeper/d.txt",
                                      "Docs/sub/s.txt", "Notes/", "Notes/sub/", "Notes/sub/deep/",
                                      "Notes/sub/deep/n2.txt", "Notes/sub/n.txt", "Pics/", "Pics/more/",
                                      "Pics/more/m.jpg", "Pics/p.jpg"}));
  EXPECT_EQ(ZipNames(out_ + "Flat.zip"), (std::vector<std::string>{"Docs/", "Docs/sub/", "Docs/sub/s.txt", "Notes/",
                                                                   "Notes/sub/", "Notes/sub/n.txt", "Pics/",
                                                                   "Pics/p.jpg"}));
  const auto kept = ZipNames(out_ + "Excl.zip");
  for (const char* name : {"keep.txt", "Notes/sub/deep/n2.txt", "tmp/inner/i.txt"}) EXPECT_TRUE(Contains(kept, name));
  EXPECT_FALSE(Contains(kept, "Docs/tmp"));
  for (const auto& name : kept) EXPECT_NE(name.rfind("cache/", 0), 0u) << name;
}

// A script or the task scheduler sees from the exit code whether every profile of the
// command succeeded: 0, else the first error code of the run (1 when its failures came
// with code 0 alone); the lines and the results stay what they were.
TEST_F(EngineProgram, TheExitCodeTellsWhetherEveryProfileSucceeded) {
  Profile("EngOk", {{"zf", out_ + "Ok.zip"}, {"il", src_ + "a.txt"}});
  Profile("EngLocked", {{"zf", out_ + "Locked.zip"}, {"il", src_ + "*.*"}});
  EXPECT_TRUE(runner_.Run("R EngOk").empty());
  EXPECT_EQ(runner_.Run("R NoSuchProfile"),
            std::vector<std::string>{"0 NoSuchProfile: Couldn't run, Profile doesn't exist"});
  EXPECT_EQ(runner_.ExitCode(), 1);

  // A file another program holds without sharing aborts its profile's run.
  HANDLE lock = CreateFileW(tk::Widen(src_ + "d.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  const auto lines = runner_.Run("R EngOk NoSuchProfile EngLocked");
  CloseHandle(lock);
  EXPECT_EQ(runner_.ExitCode(), 18);
  EXPECT_EQ(lines.front(), "0 NoSuchProfile: Couldn't run, Profile doesn't exist");
  EXPECT_EQ(lines.back(), "18 EngLocked: File not found or no read permission");
  EXPECT_EQ(RegRead("Profiles\\EngLocked", "ze"), "18");
  EXPECT_EQ(RegRead("Profiles\\EngOk", "ze"), kMissing);

  // The test of the profile without a zip fails as well; the good one's passes.
  EXPECT_TRUE(runner_.Run("T EngOk").empty());
  EXPECT_EQ(runner_.Run("T EngOk EngLocked"),
            std::vector<std::string>{"0 EngLocked: Couldn't test, ZIP file \"" + out_ + "Locked.zip\" doesn't exist"});
  EXPECT_EQ(runner_.ExitCode(), 1);
}

TEST_F(EngineProgram, OldDatedZipsAndLogsArePruned) {
  Profile("EngDated", {{"zf", out_ + "Dated.zip"}, {"b", Flags({6})}, {"il", src_ + "a.txt"},
                       {"zfndf", "yyyy_mm_dd"}, {"ztk", "2"}, {"nrl", "1"}});
  qbtest::MakeDirs(out_);
  for (int i = 1; i <= 3; ++i) {
    const std::string old = out_ + "Dated_2020_01_0" + std::to_string(i) + ".zip";
    WriteFile(old, "old");
    SetAge(old, 100 - i);
  }
  // Of the mask's shape but no date: the user's, never pruned nor counted.
  WriteFile(out_ + "Dated_copy_of_it.zip", "mine");
  SetAge(out_ + "Dated_copy_of_it.zip", 200);
  qbtest::MakeDirs(GetLogsDir());
  const std::string oldLog = GetLogsDir() + "EngDated ziplog 2020 01 01 0000.txt";
  WriteFile(oldLog, "old log");
  SetAge(oldLog, 50);
  EXPECT_TRUE(runner_.Run("R EngDated").empty());
  const auto zips = Matching(out_ + "Dated_*.zip");
  ASSERT_EQ(zips.size(), 3u);
  EXPECT_EQ(zips[0], "Dated_2020_01_03.zip");  // the newest old one stays beside today's
  EXPECT_TRUE(UnzipTestPasses(out_ + zips[1]));
  EXPECT_EQ(ReadFile(out_ + zips[2]), "mine");
  const auto logs = Matching(GetLogsDir() + "EngDated ziplog *.txt");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0], tk::ExtractFileName(oldLog));
}

TEST_F(EngineProgram, MultiComputerRunWithAMissingComputer) {
  // \\pc1\engmulti is a local folder through the prefix's UNC links; pc2 is missing.
  UncShare pc1("pc1", "engmulti", src_);
  Profile("EngMulti", {{"zf", out_ + "engmulti.zip"}, {"b", Flags({6})}, {"cns", "pc1,pc2"}});
  const auto errors = runner_.Run("R EngMulti");
  EXPECT_TRUE(Contains(errors, "51 EngMulti (pc2): Source path not found")) << errors.size();
  ASSERT_TRUE(Exists(out_ + "pc1\\engmulti.zip"));
  EXPECT_TRUE(UnzipTestPasses(out_ + "pc1\\engmulti.zip"));
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\ze", "pc2"), "51");
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\ze", "pc1"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngMulti", "ze"), "51");
  EXPECT_NE(RegRead("Profiles\\EngMulti\\lr", "pc1"), kMissing);
  EXPECT_NE(RegRead("Profiles\\EngMulti\\lr", "pc2"), kMissing);

  // The starter's choice of computers: only pc2 is tried, pc1 keeps its values (a last
  // run long ago, which a run now would replace).
  RegWrite("Options\\General", "sSelectedMcNames", "pc2");
  RegWrite("Profiles\\EngMulti\\ze", "pc2", "7");
  const std::string lr1 = "40000.00000";
  RegWrite("Profiles\\EngMulti\\lr", "pc1", lr1);
  runner_.Run("R EngMulti");
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\lr", "pc1"), lr1);
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\ze", "pc2"), "51");
  EXPECT_EQ(RegRead("Options\\General", "sSelectedMcNames"), kMissing);

  // Testing: pc1's zip passes, pc2 has none.
  const auto testErrors = runner_.Run("T EngMulti");
  EXPECT_NE(RegRead("Profiles\\EngMulti\\lt", "pc1"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngMulti\\te", "pc1"), kMissing);
  EXPECT_TRUE(Contains(testErrors, "0 EngMulti (pc2): Couldn't test, ZIP file \"" + out_ + "pc2\\engmulti.zip\" doesn't exist"));
}

TEST_F(EngineProgram, DeleteBeforeRunningKeepsTheOldZipWhenTheRunFails) {
  const std::string zip = PreviousZip("Keep.zip");
  const std::string before = ReadFile(zip);
  Profile("EngKeep", {{"zf", zip}, {"b", Flags({6, 9})}, {"il", src_ + "nothing*.xyz"}});
  const auto errors = runner_.Run("R EngKeep");
  EXPECT_FALSE(errors.empty());
  EXPECT_EQ(ReadFile(zip), before);
  EXPECT_NE(RegRead("Profiles\\EngKeep", "ze"), kMissing);
  EXPECT_EQ(qbtest::ListDir(out_), std::vector<std::string>{"Keep.zip"});

  // A run that works replaces the old zip: the previous content is gone.
  RegWrite("Profiles\\EngKeep", "il", src_ + "a.txt");
  EXPECT_TRUE(runner_.Run("R EngKeep").empty());
  std::vector<std::string> files;  // the folder entries of the stored path aside
  for (const auto& n : ZipNames(zip))
    if (n.empty() || n.back() != '/') files.push_back(n);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(tk::EndsText("/a.txt", files[0])) << files[0];
  EXPECT_EQ(RegRead("Profiles\\EngKeep", "ze"), kMissing);
  EXPECT_EQ(qbtest::ListDir(out_), std::vector<std::string>{"Keep.zip"});
}

TEST_F(EngineProgram, SourcesAreDeletedOnlyAfterASuccessfulZip) {
  qbtest::MakeDirs(out_);
  const std::string zip = out_ + "Del.zip";
  // A target that is a folder cannot be written: the run fails and the sources stay.
  qbtest::MakeDirs(zip);
  Profile("EngDel", {{"zf", zip}, {"b", Flags({6, 20})}, {"il", src_ + "a.txt"}});
  EXPECT_FALSE(runner_.Run("R EngDel").empty());
  EXPECT_TRUE(Exists(src_ + "a.txt"));
  RemoveDirectoryW(tk::Widen(zip).c_str());
  EXPECT_TRUE(runner_.Run("R EngDel").empty());
  EXPECT_TRUE(UnzipTestPasses(zip));
  EXPECT_FALSE(Exists(src_ + "a.txt"));
  EXPECT_TRUE(Exists(src_ + "sub\\b.txt"));
}

TEST_F(EngineProgram, TestRecordsResultsAndRunAndTestSkipsAFailedProfile) {
  Profile("EngGood", {{"zf", out_ + "Good.zip"}, {"b", Flags({6})}, {"il", src_ + "*.*"}});
  Profile("EngBad", {{"zf", out_ + "Bad.zip"}});
  Profile("EngGone", {{"zf", out_ + "Gone.zip"}});
  ASSERT_TRUE(runner_.Run("R EngGood").empty());
  WriteFile(out_ + "Bad.zip", std::string(200, 'x'));
  RegWrite("Profiles\\EngGood", "te", "3");

  const auto errors = runner_.Run("T EngGood EngBad EngGone EngNone");
  EXPECT_NE(RegRead("Profiles\\EngGood", "ltst"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngGood", "te"), kMissing);
  EXPECT_NE(RegRead("Profiles\\EngBad", "te"), kMissing);
  EXPECT_TRUE(Contains(errors, "0 EngGone: Couldn't test, ZIP file \"" + out_ + "Gone.zip\" doesn't exist"));
  EXPECT_TRUE(Contains(errors, "0 EngNone: Couldn't test: Profile doesn't exist"));
  EXPECT_EQ(RegRead("Options\\General", "AllTestsOK"), "0");

  // Run and test with a profile that cannot zip (nothing matches): its test is skipped.
  Profile("EngEmpty", {{"zf", out_ + "Empty.zip"}, {"il", src_ + "none*.xyz"}});
  const auto b = runner_.Run("B EngEmpty");
  EXPECT_TRUE(Contains(b, "0 EngEmpty: Test skipped, Profile didn't run successfully"));
  EXPECT_EQ(RegRead("Profiles\\EngEmpty", "ltst"), kMissing);
}

TEST_F(EngineProgram, StoreAndZipIsUnwrappedByExtractThroughAFolderThatGoes) {
  const std::string zip = out_ + "Saz.zip";
  Profile("EngSaz", {{"zf", zip}, {"b", Flags({6, 8})}, {"il", src_ + "*.txt"}});
  EXPECT_TRUE(runner_.Run("R EngSaz").empty());
  ASSERT_TRUE(Exists(zip));
  EXPECT_TRUE(UnzipTestPasses(zip));
  EXPECT_EQ(ZipNames(zip), std::vector<std::string>{"stored.zip"});
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());

  // Switches before and between the words; only the masks' files come out.
  const std::string dest = work_ / "x out";
  EXPECT_TRUE(runner_.Run("X /o- \"" + zip + "\" \"*.txt\" /d- \"" + dest + "\"").empty());
  EXPECT_EQ(ReadFile(dest + "\\a.txt"), "alpha alpha alpha");
  EXPECT_EQ(ReadFile(dest + "\\b.txt"), "beta");  // /d-: no folder names
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());

  // A plain zip, its extension forced, folder names kept.
  Profile("EngPlain", {{"zf", out_ + "Plain.zip"}, {"b", Flags({6})}, {"il", src_ + "*.*"}});
  ASSERT_TRUE(runner_.Run("R EngPlain").empty());
  const std::string dest2 = work_ / "plain";
  EXPECT_TRUE(runner_.Run("X \"" + out_ + "Plain.bak\" *.txt \"" + dest2 + "\"").empty());
  std::string found;
  qbtest::RunUnix("cd " + Unix(dest2) + " && find . -type f | sort", &found);
  EXPECT_NE(found.find("/sub/b.txt"), std::string::npos) << found;
  EXPECT_NE(found.find("/a.txt"), std::string::npos) << found;
  EXPECT_EQ(found.find(".tmp"), std::string::npos) << found;
}

TEST_F(EngineProgram, StoreAndZipClearsArchiveBitsOnlyAfterTheOuterZipWasWritten) {
  // Wine keeps every archive bit set, so the library's seam reads them from a table.
  const std::string table = work_ / "bits.txt";
  WriteFile(table, "1 " + src_ + "a.txt\r\n1 " + src_ + "sub\\b.txt\r\n");
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", tk::Widen(table).c_str());
  const std::string zip = out_ + "Bits.zip";
  qbtest::MakeDirs(zip);  // a folder where the outer zip should go: the outer zip fails
  Profile("EngBits", {{"zf", zip}, {"b", Flags({1, 2, 6, 8})}, {"il", src_ + "*.txt"}});
  EXPECT_FALSE(runner_.Run("R EngBits").empty());
  EXPECT_EQ(ReadFile(table).find("0 "), std::string::npos) << ReadFile(table);
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());

  RemoveDirectoryW(tk::Widen(zip).c_str());
  EXPECT_TRUE(runner_.Run("R EngBits").empty());
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", nullptr);
  EXPECT_TRUE(UnzipTestPasses(zip));
  EXPECT_EQ(ReadFile(table).find("1 "), std::string::npos) << ReadFile(table);
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());
}

TEST_F(EngineProgram, StoreAndZipClearsTheBitsOfExactlyTheFilesInTheInnerZip) {
  // A big file keeps the outer zip busy long enough for a file to appear meanwhile.
  ASSERT_EQ(qbtest::RunUnix("head -c 20000000 /dev/urandom > " + Unix(src_ + "noise.txt")), 0);
  const std::string late = src_ + "late.txt";
  const std::string table = work_ / "bits.txt";
  WriteFile(table, "1 " + src_ + "a.txt\r\n1 " + src_ + "sub\\b.txt\r\n1 " + late + "\r\n");
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", tk::Widen(table).c_str());
  const std::string zip = out_ + "Late.zip";
  Profile("EngLate", {{"zf", zip}, {"b", Flags({2, 6, 8})}, {"il", src_ + "*.txt"}});
  runner_.Start("R EngLate");
  // Once stored.zip is there the inner zip is done: a new file now is not in this backup.
  bool added = false;
  for (int i = 0; i < 6000 && !added && runner_.Running(); ++i) {
    for (const auto& dir : Matching(temp_.path() + "qb_*.dir"))
      if (Exists(temp_.path() + dir + "\\stored.zip")) added = true;
    if (added) WriteFile(late, "written after the inner zip");
    else Sleep(5);
  }
  EXPECT_EQ(runner_.Wait(), 0);
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", nullptr);
  ASSERT_TRUE(added) << "the inner zip was not seen";
  EXPECT_TRUE(runner_.HandedLines().empty());
  EXPECT_TRUE(UnzipTestPasses(zip));
  const std::string bits = ReadFile(table);
  EXPECT_NE(bits.find("0 " + src_ + "a.txt"), std::string::npos) << bits;
  EXPECT_NE(bits.find("0 " + src_ + "sub\\b.txt"), std::string::npos) << bits;
  EXPECT_NE(bits.find("1 " + late), std::string::npos) << bits;
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());
}

// A small file system of its own, mounted on a folder of the test and gone with the object.
class SmallMedium {
 public:
  SmallMedium(const std::string& folder, const std::string& size) : unix_(Unix(folder)) {
    qbtest::MakeDirs(folder);
    mounted_ = qbtest::RunUnix("mount -t tmpfs -o size=" + size + " tmpfs " + unix_) == 0;
  }
  ~SmallMedium() {
    if (mounted_) qbtest::RunUnix("umount " + unix_);
  }
  bool Mounted() const { return mounted_; }

 private:
  std::string unix_;
  bool mounted_ = false;
};

TEST_F(EngineProgram, DeleteBeforeRunningRenewsABackupOnAMediumTooSmallForTwo) {
  const std::string medium = work_ / "medium";
  SmallMedium small(medium, "1m");
  QB_FRAME_NEEDS(small.Mounted(), "no small file system can be mounted here");
  const std::string data = work_ / "data\\";
  qbtest::MakeDirs(data);
  ASSERT_EQ(qbtest::RunUnix("head -c 600000 /dev/urandom > " + Unix(data + "big.bin")), 0);
  const std::string zip = medium + "\\Full.zip";
  Profile("EngFull", {{"zf", zip}, {"b", Flags({6, 9})}, {"il", data + "*.*"}});
  ASSERT_TRUE(runner_.Run("R EngFull").empty());
  ASSERT_TRUE(UnzipTestPasses(zip));
  // The renewed backup cannot stand beside the old one: the old one goes first.
  ASSERT_EQ(qbtest::RunUnix("head -c 600000 /dev/urandom > " + Unix(data + "big.bin")), 0);
  const auto lines = runner_.Run("R EngFull");
  ASSERT_EQ(lines.size(), 1u) << tk::JoinLines(lines);
  EXPECT_EQ(lines[0].rfind("0 EngFull: Not enough room for a new ZIP file beside ", 0), 0u) << lines[0];
  EXPECT_EQ(RegRead("Profiles\\EngFull", "ze"), kMissing);
  EXPECT_EQ(qbtest::RunUnix("unzip -p " + Unix(zip) + " | cmp - " + Unix(data + "big.bin")), 0);
  EXPECT_EQ(qbtest::ListDir(medium), std::vector<std::string>{"Full.zip"});
}

// Delete before running with delete sources, when the new zip cannot take the old one's place
// (no temporary folder, a full one on another drive, the old zip opened meanwhile): the old zip
// and every source stay, no copy of the new zip is left, and the lines say what happened.
TEST_F(EngineProgram, SourcesAreDeletedOnlyOnceTheirZipStandsUnderItsOwnName) {
  ASSERT_EQ(qbtest::RunUnix("head -c 30000000 /dev/urandom > " + Unix(src_ + "big.bin")), 0);
  const std::string zip = PreviousZip("Held.zip"), before = ReadFile(zip), missing = work_ / "gone",
                    full = "N:\\EngFull" + std::to_string(GetCurrentProcessId());
  Profile("EngHeld", {{"zf", zip}, {"b", Flags({9, 20})}, {"il", src_ + "*.*"}});
  {
    SmallMedium medium(full, "64k");
    QB_FRAME_NEEDS(medium.Mounted(), "no small file system can be mounted here");
    for (const auto& [temp, first] : {std::pair{missing, "10 Cannot create a temporary file in " + missing + "\\"},
                                      std::pair{full, std::string("-4  ZIP File Write Error")}}) {
      RegWrite("Options\\General", "TempDirectory", temp);
      const auto lines = runner_.Run("R EngHeld");
      EXPECT_TRUE(!lines.empty() && lines[0] == first) << tk::JoinLines(lines);
      EXPECT_EQ(ReadFile(zip), before);
    }
  }
  RemoveDirectoryW(tk::Widen(full).c_str());
  RegWrite("Options\\General", "TempDirectory", temp_.path());
  runner_.Start("R EngHeld");
  ASSERT_TRUE(qbtest::WaitUntil([&] { return !Matching(temp_.path() + "qbz*.tmp").empty(); }, 60000));
  HANDLE held = CreateFileW(tk::Widen(zip).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(runner_.Wait(), 10);
  CloseHandle(held);
  EXPECT_TRUE(Contains(runner_.HandedLines(), "10 Cannot put the new zip in place of " + zip + ": the new zip was not "
                                              "kept, " + zip + " was left as it was and no source file was deleted"));
  for (const char* name : {"a.txt", "c.tmp", "d.log", "big.bin"}) EXPECT_TRUE(Exists(src_ + name)) << name;
  EXPECT_TRUE(ReadFile(zip) == before && qbtest::ListDir(out_) == std::vector<std::string>{"Held.zip"});
}

// A file as another run holds its temporary file: open, shared with no one who could delete it.
class HeldFile {
 public:
  HeldFile(const std::string& path, const std::string& content) {
    WriteFile(path, content);
    h_ = CreateFileW(tk::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                     nullptr);
    EXPECT_NE(h_, INVALID_HANDLE_VALUE) << path;
  }
  ~HeldFile() { CloseHandle(h_); }

 private:
  HANDLE h_;
};

// Starts the runner and kills it as soon as a temporary file "<prefix>*.tmp" other than
// those named in `others` is in folder; false when the run ended (or a minute passed) first.
// A run marks its temporary file to go with its handle just after making it, and a kill
// that lands between the two leaves the file: the test removes it and tries again, twice
// at most (a run that never marks its file leaves it every time).
bool KillOnceThere(RunnerFolder& runner, const std::string& args, const std::string& folder,
                   const std::string& prefix, std::vector<std::string> others) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    runner.Start(args);
    std::string killed;
    const ULONGLONG end = GetTickCount64() + 60000;
    while (killed.empty() && GetTickCount64() < end && runner.Running()) {
      for (const auto& n : Matching(folder + prefix + "*.tmp"))
        if (killed.empty() && !Contains(others, n)) {
          runner.Kill();
          killed = n;
        }
      Sleep(2);
    }
    if (killed.empty()) {
      runner.Kill();
      return false;
    }
    if (!Exists(folder + killed) || attempt == 2) break;
    tk::RemoveFile(folder + killed);
  }
  return true;
}

// Joins, splits and delete-before-running runs killed while their temporary file exists
// leave nothing behind; files of the temporary files' name patterns (also the fixed names
// of earlier versions) are not the run's, and they stay as they are, held or not.
TEST_F(EngineProgram, KilledJoinsSplitsAndFreshZipsLeaveNoTemporaryFile) {
  const std::string data = work_ / "data\\", vols = work_ / "vols\\", joined = work_ / "joined\\",
                    split = work_ / "split\\";
  for (const auto& d : {data, vols, joined, split}) qbtest::MakeDirs(d);
  ASSERT_EQ(qbtest::RunUnix("cd " + Unix(data) + " && head -c 60000000 /dev/urandom > big.bin && zip -q -0 big.zip "
                            "big.bin && cd " + Unix(vols) + " && zip -q -0 -s 10m set.zip " + Unix(data) + "big.bin"),
            0);

  // Join: an earlier version's fixed name, an unheld file and a held one of the pattern.
  WriteFile(joined + "set.zip.qbjoin.tmp", "left by an earlier version");
  WriteFile(joined + "qbj00000ab.tmp", "left behind");
  std::vector<std::string> theirs{"qbj00000ab.tmp", "qbj0000beef.tmp", "set.zip.qbjoin.tmp"};
  {
    HeldFile running(joined + "qbj0000beef.tmp", "another run's");
    const std::string join = "A \"" + vols + "set.zip\" \"" + joined + "\"";
    EXPECT_TRUE(KillOnceThere(runner_, join, joined, "qbj", theirs));
    EXPECT_EQ(qbtest::ListDir(joined), theirs);
    EXPECT_TRUE(runner_.Run(join).empty());
    theirs.insert(theirs.begin() + 2, "set.zip");
    EXPECT_EQ(qbtest::ListDir(joined), theirs);
  }
  EXPECT_EQ(ReadFile(joined + "qbj0000beef.tmp"), "another run's");
  EXPECT_TRUE(UnzipTestPasses(joined + "set.zip"));

  // Split: no volume, under its passing or its real name, outlives the killed run.
  WriteFile(split + "part.z01.qbsplit.tmp", "left by an earlier version");
  {
    HeldFile running(split + "qbs0000beef.tmp", "another run's");
    const std::string cut = "S \"" + data + "big.zip\" \"" + split + "part.zip\" 10000000";
    EXPECT_TRUE(KillOnceThere(runner_, cut, split, "qbs", {"qbs0000beef.tmp"}));
    EXPECT_EQ(qbtest::ListDir(split), (std::vector<std::string>{"part.z01.qbsplit.tmp", "qbs0000beef.tmp"}));
    EXPECT_TRUE(runner_.Run(cut).empty());
    EXPECT_TRUE(Exists(split + "part.z06") && Exists(split + "part.zip"));
    EXPECT_TRUE(Matching(split + "*.tmp") == (std::vector<std::string>{"part.z01.qbsplit.tmp", "qbs0000beef.tmp"}));
  }
  EXPECT_EQ(ReadFile(split + "qbs0000beef.tmp"), "another run's");

  // Delete before running: the placeholder of the fresh name goes with the killed run, the
  // old zip stays as it was.
  const std::string zip = PreviousZip("Fresh.zip"), before = ReadFile(zip);
  WriteFile(out_ + "qbn00ab.tmp", "left by an earlier version");
  Profile("EngFresh", {{"zf", zip}, {"b", Flags({6, 9})}, {"il", data + "big.bin"}});
  {
    HeldFile running(out_ + "qbn0000beef.tmp", "another run's");
    EXPECT_TRUE(KillOnceThere(runner_, "R EngFresh", out_, "qbn", {"qbn00ab.tmp", "qbn0000beef.tmp"}));
    EXPECT_EQ(ReadFile(zip), before);
    EXPECT_EQ(qbtest::ListDir(out_), (std::vector<std::string>{"Fresh.zip", "qbn0000beef.tmp", "qbn00ab.tmp"}));
    EXPECT_TRUE(runner_.Run("R EngFresh").empty());
    EXPECT_EQ(qbtest::ListDir(out_), (std::vector<std::string>{"Fresh.zip", "qbn0000beef.tmp", "qbn00ab.tmp"}));
  }
  EXPECT_EQ(ReadFile(out_ + "qbn0000beef.tmp"), "another run's");
  EXPECT_EQ(qbtest::RunUnix("unzip -p " + Unix(zip) + " | cmp - " + Unix(data + "big.bin")), 0);
}

// The inner zip of store-and-zip, a plain copy of the backup, goes with a run killed while it is zipped.
TEST_F(EngineProgram, AKilledStoreAndZipRunLeavesNoInnerZip) {
  ASSERT_EQ(qbtest::RunUnix("head -c 40000000 /dev/urandom > " + Unix(src_ + "big.bin")), 0);
  Profile("EngSazKill", {{"zf", out_ + "SazKill.zip"}, {"b", Flags({8})}, {"il", src_ + "*.*"}, {"cf", "9"}});
  ASSERT_TRUE(KillOnceThere(runner_, "R EngSazKill", temp_.path(), "qbz", {}));
  std::string files, find = "find " + Unix(temp_.path()) + " -type f";
  EXPECT_TRUE(qbtest::WaitUntil([&] { return !qbtest::RunUnix(find, &files) && files.empty(); }, 10000)) << files;
}

TEST_F(EngineProgram, SplitAndJoinRoundTrip) {
  qbtest::MakeDirs(out_);
  const std::string zip = out_ + "big.zip";
  ASSERT_EQ(qbtest::RunUnix("cd " + Unix(out_) + " && head -c 300000 /dev/urandom > big.bin && zip -q -0 big.zip big.bin"),
            0);
  const std::string vols = work_ / "vols\\";
  qbtest::MakeDirs(vols);
  const auto errors = runner_.Run("S \"" + zip + "\" \"" + vols + "set.zip\" 100000");
  EXPECT_TRUE(errors.empty()) << (errors.empty() ? std::string() : errors[0]);
  const auto parts = qbtest::ListDir(vols);
  ASSERT_GE(parts.size(), 3u);
  EXPECT_TRUE(Contains(parts, "set.z01"));
  EXPECT_TRUE(Contains(parts, "set.zip"));
  for (const auto& p : parts) EXPECT_LE(tk::FileSize(vols + p), 100000) << p;
  EXPECT_EQ(qbtest::RunUnix("7z t " + Unix(vols) + "set.zip >/dev/null"), 0);

  const std::string joined = work_ / "joined";
  qbtest::MakeDirs(joined);
  const auto joinErrors = runner_.Run("A \"" + vols + "set.zip\" \"" + joined + "\"");
  // The volumes become one standard zip named like the last volume.
  EXPECT_TRUE(joinErrors.empty()) << (joinErrors.empty() ? std::string() : joinErrors[0]);
  ASSERT_TRUE(Exists(joined + "\\set.zip"));
  EXPECT_EQ(qbtest::RunUnix("cd " + Unix(joined) + " && unzip -tq set.zip && unzip -p set.zip big.bin | cmp - " +
                            Unix(out_) + "big.bin"),
            0);

  // An earlier set is never overwritten, also when only its first volumes are left.
  tk::RemoveFile(vols + "set.zip");
  const auto again = runner_.Run("S \"" + zip + "\" \"" + vols + "set.zip\" 100000");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_NE(again[0].find("already exist"), std::string::npos);
}

TEST_F(EngineProgram, RunsAndTestsTellTheSchedulerAndTheManager) {
  ListeningWindow scheduler(L"QbSchWindowClass", L"Qb Scheduler");
  ListeningWindow manager(L"TMainForm", L"Quillbank");
  ListeningWindow otherForm(L"TMainForm", L"Quillbank - Options");  // not the manager's caption
  Profile("EngNote", {{"zf", out_ + "Note.zip"}, {"b", Flags({6})}, {"il", src_ + "a.txt"}});
  using Heard = std::pair<std::vector<std::string>, std::vector<std::string>>;
  // What the scheduler's and the manager's windows receive during one clean command.
  auto heard = [&](const std::string& args) {
    scheduler.Clear();
    manager.Clear();
    EXPECT_TRUE(runner_.Run(args).empty()) << args;
    return Heard{scheduler.Received(), manager.Received()};
  };
  RegWrite("Options\\General", "AllRunsOK", "0");
  EXPECT_EQ(heard("R EngNote"), Heard(kResultsChanged, kRefresh));
  EXPECT_EQ(otherForm.Received(), kNothing);
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "1");

  RegWrite("Options\\General", "AllTestsOK", "0");
  EXPECT_EQ(heard("T EngNote"), Heard(kResultsChanged, kRefresh));
  EXPECT_EQ(RegRead("Options\\General", "AllTestsOK"), "1");

  // Without automatic refresh the manager is left alone; the scheduler is told anyway.
  RegWrite("Options\\General", "AutoRefresh", "0");
  EXPECT_EQ(heard("R EngNote"), Heard(kResultsChanged, kNothing));
}

TEST_F(EngineProgram, TempProfileIsLeftOutOfTheRunSummaries) {
  ListeningWindow scheduler(L"QbSchWindowClass", L"Qb Scheduler");
  ListeningWindow manager(L"TMainForm", L"Quillbank");
  Profile("TempProfile", {{"zf", out_ + "Temp.zip"}, {"il", src_ + "none*.xyz"}});  // nothing to zip
  RegWrite("Options\\General", "AllRunsOK", "1");
  EXPECT_FALSE(runner_.Run("R TempProfile").empty());
  // Its own results are written, the summary and the other programs are not touched.
  EXPECT_NE(RegRead("Profiles\\TempProfile", "ze"), kMissing);
  EXPECT_NE(RegRead("Profiles\\TempProfile", "lrun"), kMissing);
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "1");
  EXPECT_EQ(scheduler.Received(), kNothing);
  EXPECT_EQ(manager.Received(), kNothing);

  // Its test is summed and announced like any other.
  RegWrite("Options\\General", "AllTestsOK", "0");
  EXPECT_FALSE(runner_.Run("T TempProfile").empty());
  EXPECT_EQ(RegRead("Options\\General", "AllTestsOK"), "1");
  EXPECT_EQ(scheduler.Received(), kResultsChanged);
  EXPECT_EQ(manager.Received(), kRefresh);
}

TEST_F(EngineProgram, AFailingRunHandsItsLinesOverInOneNewErrorFile) {
  // Error files older than DaysToKeepErrors go at the end of the run.
  qbtest::MakeDirs(GetErrorsDir());
  const std::string oldErr = GetErrorsDir() + "2001 01 01 - 00 00 00 000.err";
  const std::string recentErr = GetErrorsDir() + "2001 01 02 - 00 00 00 000.err";
  WriteFile(oldErr, "0 old\r\n");
  WriteFile(recentErr, "0 recent\r\n");
  SetAge(oldErr, 9);
  SetAge(recentErr, 1);
  RegWrite("Options\\General", "DaysToKeepErrors", "5");

  WriteFile(work_ / "blocker", "a file where the target folder should be");
  Profile("EngFine", {{"zf", out_ + "Fine.zip"}, {"b", Flags({6})}, {"il", src_ + "a.txt"}, {"ze", "7"}});
  Profile("EngNoPath", {{"zf", work_ / "blocker\\sub\\x.zip"}, {"il", src_ + "a.txt"}});
  Profile("EngNothing", {{"zf", out_ + "Nothing.zip"}, {"il", src_ + "none*.xyz"}});
  const auto lines = runner_.Run("R EngFine EngMissing EngNoPath EngNothing");
  const std::string file = runner_.HandedFile();

  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "0 EngMissing: Couldn't run, Profile doesn't exist");
  EXPECT_EQ(lines[1], "0 EngNoPath: Couldn't create/access target path " + work_ / "blocker\\sub\\");
  // The library's failure: its code and the text of that code.
  EXPECT_EQ(lines.back(), "12 EngNothing: Nothing to do!");
  for (const auto& l : lines) EXPECT_EQ(l.find("EngFine"), std::string::npos) << l;

  // A new file in the Errors folder, named by its time, every line ended by CR LF.
  EXPECT_EQ(tk::ExtractFilePath(file), GetErrorsDir());
  EXPECT_EQ(tk::ExtractFileName(file).size(), std::string("yyyy mm dd - hh nn ss zzz.err").size()) << file;
  const std::string text = ReadFile(file);
  size_t crlf = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++crlf;
  EXPECT_EQ(crlf, lines.size());
  EXPECT_TRUE(tk::EndsText("\r\n", text));
  EXPECT_FALSE(Exists(oldErr));
  EXPECT_TRUE(Exists(recentErr));

  // Success deletes the old error code, it never writes 0; failures keep theirs.
  EXPECT_EQ(RegRead("Profiles\\EngFine", "ze"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngNothing", "ze"), "12");
  EXPECT_EQ(RegRead("Profiles\\EngNoPath", "lrun"), kMissing);  // never zipped: nothing recorded
  EXPECT_EQ(RegRead("Options\\General", "AllRunsOK"), "0");
  tk::RemoveFile(recentErr);
  tk::RemoveFile(file);
}

TEST_F(EngineProgram, UncTargetsRecordTheirZipSizes) {
  qbtest::MakeDirs(out_);
  UncShare server("engsrv", "backups", out_);
  Profile("EngUnc", {{"zf", "\\\\engsrv\\backups\\Unc.zip"}, {"b", Flags({6})}, {"il", src_ + "*.txt"}});
  EXPECT_TRUE(runner_.Run("R EngUnc").empty());
  ASSERT_TRUE(Exists(out_ + "Unc.zip"));
  EXPECT_TRUE(UnzipTestPasses(out_ + "Unc.zip"));
  EXPECT_EQ(RegRead("Profiles\\EngUnc", "lzs"), std::to_string(tk::FileSize(out_ + "Unc.zip")));

  // A multi-computer profile with its zips on the share: a size per computer. The
  // starter's choice of computers zips that one only; the others are not even tried.
  UncShare pc1("engpc1", "engmc", src_), pc2("engpc2", "engmc", src_ + "sub");
  Profile("EngMc", {{"zf", "\\\\engsrv\\backups\\engmc.zip"}, {"b", Flags({6})}, {"cns", "engpc1,engpc2,engpc3"}});
  RegWrite("Options\\General", "sSelectedMcNames", "engpc2");
  EXPECT_TRUE(runner_.Run("R EngMc").empty());
  EXPECT_FALSE(Exists(out_ + "engpc1\\engmc.zip"));
  ASSERT_TRUE(Exists(out_ + "engpc2\\engmc.zip"));
  EXPECT_EQ(ZipNames(out_ + "engpc2\\engmc.zip"), std::vector<std::string>{"b.txt"});
  EXPECT_EQ(RegValueNames("Profiles\\EngMc\\zs"), std::vector<std::string>{"engpc2"});
  EXPECT_EQ(RegRead("Profiles\\EngMc\\zs", "engpc2"), std::to_string(tk::FileSize(out_ + "engpc2\\engmc.zip")));
  EXPECT_EQ(RegValueNames("Profiles\\EngMc\\lr"), std::vector<std::string>{"engpc2"});
  EXPECT_EQ(RegValueNames("Profiles\\EngMc\\ze"), std::vector<std::string>{});
  EXPECT_EQ(RegRead("Profiles\\EngMc", "lzs"), kMissing);

  // All computers: the missing one fails with 51, the other two have their sizes.
  const auto errors = runner_.Run("R EngMc");
  EXPECT_EQ(errors, std::vector<std::string>{"51 EngMc (engpc3): Source path not found"});
  EXPECT_EQ(RegRead("Profiles\\EngMc\\zs", "engpc1"), std::to_string(tk::FileSize(out_ + "engpc1\\engmc.zip")));
  EXPECT_EQ(RegRead("Profiles\\EngMc\\zs", "engpc3"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngMc\\ze", "engpc3"), "51");
}

TEST_F(EngineProgram, CancelWhileZippingKeepsThePreviousZipAndRecordsTheCode) {
  const std::string zip = PreviousZip("Cancel.zip");
  const std::string before = ReadFile(zip);
  // Enough to compress that the click lands long before the zip could be done.
  const std::string big = work_ / "big\\";
  qbtest::MakeDirs(big);
  ASSERT_EQ(qbtest::RunUnix("cd " + Unix(big) + " && for i in $(seq 1 40); do head -c 1000000 /dev/urandom > f$i.bin; done"),
            0);
  Profile("EngCancel", {{"zf", zip}, {"b", Flags({6})}, {"il", big + "*.*"}, {"cf", "9"}});
  Profile("EngAfter", {{"zf", out_ + "After.zip"}, {"il", src_ + "a.txt"}});

  runner_.Start("R EngCancel EngAfter");
  HWND main = runner_.FindProcessWindow(L"TRunFoMainForm");
  ASSERT_NE(main, nullptr);
  // The caption names the profile just before its zip starts.
  const ULONGLONG end = GetTickCount64() + 30000;
  while (!tk::EndsText("  (EngCancel)", qbtest::WindowText(main)) && runner_.Running() && GetTickCount64() < end)
    Sleep(10);
  ASSERT_TRUE(tk::EndsText("  (EngCancel)", qbtest::WindowText(main))) << qbtest::WindowText(main);
  HWND cancel = static_cast<HWND>(qbtest::FindChildByText(main, "Cancel"));
  ASSERT_NE(cancel, nullptr);
  PostMessageW(cancel, BM_CLICK, 0, 0);
  EXPECT_EQ(runner_.Wait(), 9);   // the run did not complete: its code is the exit code

  EXPECT_EQ(ReadFile(zip), before);
  EXPECT_EQ(qbtest::ListDir(out_), std::vector<std::string>{"Cancel.zip"});
  EXPECT_TRUE(qbtest::ListDir(temp_.path()).empty());
  EXPECT_EQ(RegRead("Profiles\\EngCancel", "ze"), "9");
  EXPECT_NE(RegRead("Profiles\\EngCancel", "lrun"), kMissing);
  EXPECT_EQ(runner_.HandedLines(), std::vector<std::string>{"9 EngCancel: Operation cancelled"});
  // The profiles after it are not started.
  EXPECT_EQ(RegRead("Profiles\\EngAfter", "lrun"), kMissing);
}

// The drive's label as this Wine server reads it (labels are read when the server
// starts, so a test cannot give a drive a new one; only a mismatch can be made here).
std::string DriveLabel(const std::string& path) {
  wchar_t label[261] = {};
  if (!GetVolumeInformationW(tk::Widen(tk::ExtractFileDrive(path) + "\\").c_str(), label, 261, nullptr, nullptr,
                             nullptr, nullptr, 0))
    return std::string();
  return tk::Narrow(label);
}

TEST_F(EngineProgram, TheMediaMustCarryTheNamedLabel) {
  const std::string label = DriveLabel(out_);
  const std::string other = label + "ENGNOTHERE";
  qbtest::MakeDirs(out_);
  UncShare server("engsrv", "media", out_);
  Profile("EngOneMedia", {{"zf", out_ + "One.zip"}, {"il", src_ + "a.txt"}, {"ml", other}});
  Profile("EngMediaList", {{"zf", out_ + "List.zip"}, {"il", src_ + "a.txt"}, {"ml", other + "; ENGNOTEITHER "}});
  // A share has no label that could match.
  Profile("EngUncMedia", {{"zf", "\\\\engsrv\\media\\Unc.zip"}, {"il", src_ + "a.txt"}, {"ml", "ENGSHARE"}});
  Profile("EngNoMedia", {{"zf", out_ + "Free.zip"}, {"il", src_ + "a.txt"}});
  const auto errors = runner_.Run("R EngOneMedia EngMediaList EngUncMedia EngNoMedia");
  EXPECT_EQ(errors, (std::vector<std::string>{"0 EngOneMedia: Couldn't run, Media \"" + other + "\" doesn't exist",
                                              "0 EngMediaList: Couldn't run, Specified media doesn't exist",
                                              "0 EngUncMedia: Couldn't run, Media \"ENGSHARE\" doesn't exist"}));
  // Nothing was zipped or recorded for them; the profile after them ran.
  EXPECT_EQ(qbtest::ListDir(out_), std::vector<std::string>{"Free.zip"});
  for (const char* name : {"EngOneMedia", "EngMediaList", "EngUncMedia"})
    EXPECT_EQ(RegValueNames(std::string("Profiles\\") + name).size(), 4u) << name;  // pn, zf, il, ml
  EXPECT_NE(RegRead("Profiles\\EngNoMedia", "lrun"), kMissing);

  // The test checks the media the same way.
  const auto testErrors = runner_.Run("T EngOneMedia EngMediaList");
  EXPECT_EQ(testErrors, (std::vector<std::string>{"0 EngOneMedia: Couldn't test, Media \"" + other + "\" doesn't exist",
                                                  "0 EngMediaList: Couldn't test, Specified media doesn't exist"}));
  EXPECT_EQ(RegRead("Profiles\\EngOneMedia", "ltst"), kMissing);
}

TEST_F(EngineProgram, AMediumWithTheNamedLabelIsBackedUp) {
  // scripts/test gives the prefix the drive L: labelled QBMEDIA and N: without a label.
  ASSERT_EQ(DriveLabel("L:\\"), "QBMEDIA") << "run the tests through scripts/test";
  const std::string dir = "L:\\EngMedia" + std::to_string(GetCurrentProcessId()) + "\\";
  qbtest::MakeDirs(dir);
  struct Gone {
    std::string path;
    ~Gone() { qbtest::RemoveTree(path); }
  } gone{dir};
  Profile("EngLabelCase", {{"zf", dir + "Case.zip"}, {"il", src_ + "a.txt"}, {"ml", "qbmedia"}});
  Profile("EngLabelList", {{"zf", dir + "List.zip"}, {"il", src_ + "a.txt"}, {"ml", "OTHER; QBMEDIA ;X"}});
  Profile("EngNoLabel", {{"zf", "N:\\EngNoLabel.zip"}, {"il", src_ + "a.txt"}, {"ml", "QBMEDIA"}});
  const auto errors = runner_.Run("R EngLabelCase EngLabelList EngNoLabel");
  EXPECT_EQ(errors, (std::vector<std::string>{"0 EngNoLabel: Couldn't run, Media \"QBMEDIA\" doesn't exist"}));
  for (const char* zip : {"Case.zip", "List.zip"})
    EXPECT_EQ(qbtest::RunUnix("unzip -tq " + Unix(dir + zip)), 0) << zip;
  EXPECT_FALSE(Exists("N:\\EngNoLabel.zip"));
  tk::RemoveFile("N:\\EngNoLabel.zip");
  EXPECT_TRUE(runner_.Run("T EngLabelCase EngLabelList").empty());
  EXPECT_NE(RegRead("Profiles\\EngLabelList", "ltst"), kMissing);
}

TEST_F(EngineProgram, APasswordMakesAnEncryptedZipThatTestsAndExtracts) {
  const std::string zip = out_ + "Secret.zip";
  Profile("EngSecret", {{"zf", zip}, {"b", Flags({6})}, {"il", src_ + "a.txt"}});
  {
    // The password is stored the way the profile record keeps it.
    TQbProfile p;
    ASSERT_TRUE(p.LoadFromRegistry("EngSecret"));
    p.ec = "open sesame";
    ASSERT_TRUE(p.SaveToRegistry());
  }
  EXPECT_TRUE(runner_.Run("R EngSecret").empty());
  ASSERT_TRUE(Exists(zip));
  std::string out;
  EXPECT_EQ(qbtest::RunUnix("7z t -p'open sesame' " + Unix(zip), &out), 0) << out;
  EXPECT_NE(qbtest::RunUnix("7z t -pwrong " + Unix(zip), &out), 0) << out;
  // Every file entry is encrypted (flag bit 0) with AES (method 99).
  EXPECT_EQ(qbtest::RunUnix("python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
                            "sys.exit(0 if all(i.flag_bits & 1 and i.compress_type == 99 for i in z.infolist() "
                            "if not i.is_dir()) else 1)' " +
                                Unix(zip),
                            &out),
            0)
      << out;

  // The runner's own test and extract read it back with the password.
  EXPECT_TRUE(runner_.Run("T EngSecret").empty());
  EXPECT_NE(RegRead("Profiles\\EngSecret", "ltst"), kMissing);
  EXPECT_EQ(RegRead("Profiles\\EngSecret", "te"), kMissing);
  const std::string dest = work_ / "secret";
  EXPECT_TRUE(runner_.Run("X \"" + zip + "\" a.txt \"" + dest + "\" /d- \"/popen sesame\"").empty());
  EXPECT_EQ(ReadFile(dest + "\\a.txt"), "alpha alpha alpha");
}

// A value of the type given, with these bytes, as an import may leave it.
void RegWriteRaw(const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
  RegSetKeyValueW(HKEY_CURRENT_USER, tk::Widen("Software\\Quillbank\\" + key).c_str(), tk::Widen(name).c_str(), type,
                  bytes.data(), static_cast<DWORD>(bytes.size()));
}

// What an import left: a list whose UTF-16 bytes became characters, numbers for texts, no zip
// name, a pn naming another profile. The run ends, names each, and records under the key run.
TEST_F(EngineProgram, DamagedValuesAreNamedAndResultsGoToTheKeyThatWasRun) {
  std::string spread;
  for (char c : "\"" + src_ + "*.txt\",\"*.*\"") spread += std::string{c, '\0', '\0', '\0'};
  Profile("EngNul", {{"zf", out_ + "Nul.zip"}});
  RegWriteRaw("Profiles\\EngNul", "il", REG_SZ, spread);
  Profile("EngDword", {{"il", src_ + "*.*"}});
  RegWriteRaw("Profiles\\EngDword", "zf", REG_DWORD, std::string("\x07\0\0\0", 4));
  RegWriteRaw("Profiles\\EngDword", "cmt", REG_DWORD, std::string("\x20\0\0\0", 4));
  Profile("EngNoZip", {{"il", src_ + "*.*"}});
  Profile("EngKey", {{"zf", out_ + "Key.zip"}, {"il", src_ + "a.txt"}});
  RegWrite("Profiles\\EngKey", "pn", "otherName");
  const auto lines = runner_.Run("R EngNul EngDword EngNoZip EngKey");
  for (const char* line : {"0 EngNul: Value \"il\" in Profiles\\EngNul holds a NUL character: read up to it as \"\"\"",
                           "0 EngDword: Value \"zf\" in Profiles\\EngDword is stored as a number, not as text: read as \"7\"",
                           "0 EngDword: Value \"cmt\" in Profiles\\EngDword is stored as a number, not as text: read as \"32\"",
                           "0 EngDword: Couldn't run, ZIP file name \"7\" names no folder",
                           "0 EngNoZip: Couldn't run, Profile has no ZIP file name"})
    EXPECT_TRUE(Contains(lines, line)) << line;
  EXPECT_NE(RegRead("Profiles\\EngKey", "lrun"), kMissing);
  EXPECT_EQ(RegValueNames("Profiles\\otherName"), std::vector<std::string>{});
  EXPECT_TRUE(Contains(runner_.Run("T EngNoZip"), "0 EngNoZip: Couldn't test, Profile has no ZIP file name"));
}

// A password, excludes, an exclude filter, media labels or options that cannot be read stop
// their run with a line each; other odd values are one true line each, a name too long for
// a zip log says so, and with no days to keep errors the handed file stays.
TEST_F(EngineProgram, UnreadableGuardsStopTheRunAndOddValuesAreOneLineEach) {
  RegWrite("Options\\General", "DaysToKeepErrors", "0");
  const std::string raw("\0\0x\0\0\0", 6);  // as a text: a NUL first
  Profile("EngGuard", {{"zf", out_ + "Guard.zip"}, {"il", src_ + "*.*"}, {"b", ""}, {"efil", "Temps"}});
  RegWriteRaw("Profiles\\EngGuard", "ec", REG_SZ, raw);
  RegWriteRaw("Profiles\\EngGuard", "ef", REG_MULTI_SZ, raw);
  RegWriteRaw("Profiles\\EngGuard", "ml", REG_BINARY, raw);
  RegWriteRaw("ExFilters", "Temps", REG_BINARY, raw);
  Profile("EngOdd", {{"zf", out_ + "Odd.zip"}, {"il", src_ + "a.txt"}});
  RegWriteRaw("Profiles\\EngOdd", "cf", REG_QWORD, std::string("\x00\xf2\x05\x2a\x01\0\0\0", 8));  // 5000000000
  RegWriteRaw("Profiles\\EngOdd", "adt", REG_BINARY, raw);
  Profile(std::string(255, 'L'), {{"zf", out_ + "Long.zip"}, {"il", src_ + "a.txt"}, {"nrl", "1"}});
  const auto lines = runner_.Run("R EngGuard EngOdd " + std::string(255, 'L'));
  for (const char* line : {"\"ec\" in Profiles\\EngGuard holds a NUL character",
                           "\"ef\" in Profiles\\EngGuard is not stored as text",
                           "\"ml\" in Profiles\\EngGuard is not stored as text", "\"b\" in Profiles\\EngGuard is empty",
                           "\"Temps\" in ExFilters is not stored as text"})
    EXPECT_TRUE(Contains(lines, std::string("0 EngGuard: Couldn't run, Value ") + line)) << line;
  EXPECT_NE(runner_.ExitCode(), 0);   // not counted as a success
  EXPECT_EQ(Matching(out_ + "*.zip"), (std::vector<std::string>{"Long.zip", "Odd.zip"}));
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.find("EngOdd") != l.npos; }), 2);
  for (const char* line : {"\"cf\" in Profiles\\EngOdd is a number beyond 32 bits: \"5000000000\", read as missing",
                           "\"adt\" in Profiles\\EngOdd is not stored as text: read as missing"})
    EXPECT_TRUE(Contains(lines, std::string("0 EngOdd: Value ") + line)) << line;
  const std::string noLog = "0 The zip log was not written, its file name is longer than 255 characters: " +
                            GetLogsDir() + std::string(255, 'L') + " ziplog ";
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(noLog, 0) == 0; }));
  EXPECT_TRUE(Exists(runner_.HandedFile()));
}

// A profile deleted (or renamed) while it runs gets no key made for its result.
TEST_F(EngineProgram, AProfileGoneWhileItRunsLeavesNoKeyBehind) {
  ASSERT_EQ(qbtest::RunUnix("head -c 30000000 /dev/urandom > " + Unix(src_ + "big.bin")), 0);
  Profile("EngGone", {{"zf", out_ + "Gone.zip"}, {"il", src_ + "big.bin"}});
  runner_.Start("R EngGone");
  ASSERT_TRUE(qbtest::WaitUntil([&] { return !Matching(out_ + "qbz*.tmp").empty(); }, 60000));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quillbank\\Profiles\\EngGone"), ERROR_SUCCESS);
  EXPECT_EQ(runner_.Wait(), 0);
  EXPECT_EQ(RegValueNames("Profiles\\EngGone"), std::vector<std::string>{});  // no result written to a new key
  EXPECT_TRUE(Contains(runner_.HandedLines(), "0 EngGone: The profile was renamed or deleted while it ran; its "
                                              "result was not recorded"));
}

// Two runners of one profile: the first, held while it zips, keeps the old zip open, so the
// second cannot put its zip in place; that failure stays when the first then succeeds.
TEST_F(EngineProgram, TwoRunnersOfOneProfileKeepTheFailureOfEither) {
  ASSERT_EQ(qbtest::RunUnix("head -c 30000000 /dev/urandom > " + Unix(src_ + "big.bin")), 0);
  const std::string zip = PreviousZip("Two.zip");
  Profile("EngTwo", {{"zf", zip}, {"il", src_ + "big.bin"}});
  runner_.Start("R EngTwo");
  ASSERT_TRUE(qbtest::WaitUntil([&] { return !Matching(out_ + "qbz*.tmp").empty(); }, 60000));
  using TProcessCall = LONG(WINAPI*)(HANDLE);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  HANDLE first = OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, runner_.ProcessId());
  const auto call = [&](const char* name) {
    reinterpret_cast<TProcessCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)))(first);
  };
  call("NtSuspendProcess");
  EXPECT_TRUE(Contains(RunnerFolder().Run("R EngTwo"), "10 EngTwo: Temporary file failure"));
  call("NtResumeProcess");
  CloseHandle(first);
  EXPECT_EQ(runner_.Wait(), 0);
  EXPECT_EQ(RegRead("Profiles\\EngTwo", "ze"), "10");
  const std::string same = "unzip -tq " + Unix(zip) + " && unzip -p " + Unix(zip) + " '*big.bin' | cmp - ";
  EXPECT_EQ(qbtest::RunUnix(same + Unix(src_ + "big.bin")), 0);
}

}  // namespace
