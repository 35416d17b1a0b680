// Compression runs killed at every kind of moment leave no temporary zip behind and the old
// zip as it was, never touching the temporary file of a run still going; empty folders of a
// recursed source are kept as folder entries.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/testutil.h"
#include "toolkit/stringlist.h"
#include "toolkit/strings.h"

using qbtest::ListDir;
using qbtest::ReadFile;
using qbtest::TempDir;
using qbtest::WriteFile;

namespace {

// Runs the child: a dzip call into zip that ends itself at callback killAt (0: never).
int RunChild(const std::string& items, const std::string& zip, int killAt, const std::string& temp = "") {
  std::string bin = qbtest::BinDir();
  bin.pop_back();  // a backslash before the closing quote would escape it
  std::string args = "\"" + bin + "\" \"" + items + "\" \"" + zip + "\" " + std::to_string(killAt);
  if (!temp.empty()) args += " \"" + temp.substr(0, temp.size() - (temp.back() == '\\')) + "\"";
  return qbtest::RunProgram(qbtest::BinDir() + "zip_killed_child.exe", args, 120000);
}

// Data that deflate cannot shrink much, so the run takes many callbacks.
std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = char(seed >> 24);
  }
  return s;
}

TEST(ZipFaults, RunsKilledAtAnyMomentLeaveNoTemporaryZip) {
  TempDir t;
  const std::string src = t / "src\\", out = t / "out\\", tmp = t / "tmp\\";
  qbtest::MakeDirs(src + "sub");
  qbtest::MakeDirs(out);
  qbtest::MakeDirs(tmp);
  for (int i = 0; i < 3; ++i) WriteFile(src + "f" + std::to_string(i) + ".bin", Noise(1u << 20, 7u + i));
  WriteFile(src + "sub\\small.txt", "small");
  const std::string zip = out + "backup.zip";
  // Files of the temporary files' name pattern are not this run's and stay: one nobody
  // holds, and one held open as a run still going holds its own.
  WriteFile(out + "qbz00ab.tmp", "left behind");
  WriteFile(out + "qbzbeef.tmp", "another run's");
  HANDLE running = CreateFileW(tk::Widen(out + "qbzbeef.tmp").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);

  const int first = RunChild(src + "*.*", zip, 0);
  ASSERT_GT(first, 1000);
  const int calls = first - 1000;
  ASSERT_GE(calls, 6);
  const std::vector<std::string> expected{"backup.zip", "qbz00ab.tmp", "qbzbeef.tmp"};
  EXPECT_EQ(ListDir(out), expected);
  const std::string old = ReadFile(zip);

  // Early callbacks, callbacks while the data are compressed, and the last moment: the new
  // zip complete but not yet in the old one's place.
  for (int k : {1, 2, calls / 3, calls / 2, -1}) {
    SCOPED_TRACE("killed at callback " + std::to_string(k) + " of " + std::to_string(calls));
    EXPECT_EQ(RunChild(src + "*.*", zip, k), 77);
    EXPECT_EQ(ListDir(out), expected);
    EXPECT_TRUE(ReadFile(zip) == old);
    // The same with the new zip written in a temporary folder first.
    EXPECT_EQ(RunChild(src + "*.*", zip, k, tmp), 77);
    EXPECT_EQ(ListDir(out), expected);
    EXPECT_TRUE(ListDir(tmp).empty());
    EXPECT_TRUE(ReadFile(zip) == old);
  }
  EXPECT_GT(RunChild(src + "*.*", zip, 0, tmp), 1000);
  EXPECT_EQ(ListDir(out), expected);
  EXPECT_TRUE(ListDir(tmp).empty());
  EXPECT_EQ(ReadFile(out + "qbzbeef.tmp"), "another run's");
  EXPECT_EQ(ReadFile(out + "qbz00ab.tmp"), "left behind");
  CloseHandle(running);
  std::string report;
  EXPECT_EQ(qbtest::RunUnix("unzip -tq '" + qbtest::ToUnixPath(zip) + "'", &report), 0) << report;
}

TEST(ZipFaults, EmptyFoldersOfARecursedSourceAreKept) {
  TempDir t;
  const std::string src = t / "src\\";
  for (const char* d : {"empty1", "full\\empty2", "deep\\x\\y"}) qbtest::MakeDirs(src + d);
  WriteFile(src + "full\\a.txt", "a");
  EXPECT_GT(RunChild(src + "*.*", t / "all.zip", 0), 1000);
  EXPECT_GT(RunChild(src + "*.txt", t / "txt.zip", 0), 1000);

  std::string names;
  ASSERT_EQ(qbtest::RunUnix("cd '" + qbtest::ToUnixPath(t.path()) +
                                "' && for z in all txt; do python3 -c 'import sys,zipfile; "
                                "[print(sys.argv[1], n) for n in zipfile.ZipFile(sys.argv[1]).namelist()]' $z.zip; done",
                            &names),
            0)
      << names;
  for (const char* d : {"src/empty1/", "src/full/empty2/", "src/deep/x/y/"}) {
    EXPECT_NE(names.find(std::string(d) + "\n"), std::string::npos) << d << "\n" << names;
  }
  // Only a mask that takes every file keeps the empty ones.
  std::vector<std::string> txtLines;
  for (const std::string& l : tk::SplitLines(names))
    if (l.rfind("txt.zip ", 0) == 0) txtLines.push_back(l);
  for (const std::string& l : txtLines) EXPECT_EQ(l.find("empty"), std::string::npos) << l;
  // A restore by an outside tool brings them back.
  std::string restored;
  ASSERT_EQ(qbtest::RunUnix("cd '" + qbtest::ToUnixPath(t.path()) + "' && mkdir r && cd r && unzip -q ../all.zip && "
                                "find . -type d -empty",
                            &restored),
            0)
      << restored;
  EXPECT_NE(restored.find("src/empty1"), std::string::npos) << restored;
  EXPECT_NE(restored.find("src/full/empty2"), std::string::npos) << restored;
  EXPECT_NE(restored.find("src/deep/x/y"), std::string::npos) << restored;
}

}  // namespace
