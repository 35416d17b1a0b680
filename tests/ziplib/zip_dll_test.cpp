// Drives dzip32.dll as the runner does: load it from the bin folder, fill the command
// record, call `dzip`, and check the zip it leaves with outside tools.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/testutil.h"
#include "toolkit/strings.h"
#include "ziplib/dzrecords.h"

using namespace qbtest;

namespace {

dz::DZipFn Entry() {
  static dz::DZipFn fn = [] {
    HMODULE m = LoadLibraryW(tk::Widen(BinDir() + "dzip32.dll").c_str());
    return m ? reinterpret_cast<dz::DZipFn>(reinterpret_cast<void*>(GetProcAddress(m, "dzip"))) : nullptr;
  }();
  return fn;
}

// One call with its record, owned texts and recorded callbacks.
struct ZipCall {
  dz::ZipCmdRecord r{};
  dz::DzCallbackSubRecord sub{};
  std::vector<std::string> texts;   // keeps the record's strings alive
  std::vector<std::string> warnings, errors;
  std::vector<int> errorCodes;
  std::string logName, logHeader = "--- Quillbank ZIP Log - %s ---";
  int majorCalls = 0, cancelAfterMajor = -1;
  std::function<void(int call)> onMajor;   // called at every major callback, counted from 1

  ZipCall() {
    texts.reserve(32);
    r.recordSize = sizeof r;
    r.CompFactor = 5;
    r.QuietFlag = dz::kDzTrue;
    r.wZipSubOptions = dz::ZSO_MINORCANCEL;
    r.MajorCallback = &Major;
    r.majorUserData = this;
    r.MinorCallback = &Minor;
    r.minorUserData = this;
    r.MessageCallback = &Message;
    r.messageUserData = this;
    sub.size = sizeof sub;
    r.lpCallbackSubRecord = &sub;
  }
  const char* T(const std::string& s) {
    texts.push_back(s);
    return texts.back().c_str();
  }
  int Run(int function) {
    r.functionCode = function;
    return Entry()(&r);
  }
  static int32_t __stdcall Major(const char*, int32_t, void* u) {
    auto* c = static_cast<ZipCall*>(u);
    ++c->majorCalls;
    if (c->onMajor) c->onMajor(c->majorCalls);
    return c->cancelAfterMajor >= 0 && c->majorCalls > c->cancelAfterMajor ? -1 : 0;
  }
  static int32_t __stdcall Minor(const char*, int32_t, void*) { return 0; }
  static int32_t __stdcall Message(int32_t id, int32_t, int32_t p1, int32_t, char* s1, char* s2, void* u) {
    auto* c = static_cast<ZipCall*>(u);
    if (id != dz::DZ_MSG_QUERY) {
      // What the runner does: fill the second buffer up to its documented capacity.
      std::string fill(dz::kDzMsgBufferSize - 1, 'x');
      memcpy(s2, fill.c_str(), fill.size() + 1);
    }
    if (id == dz::DZ_MSG_WARNING) c->warnings.push_back(s1);
    if (id == dz::DZ_MSG_ERROR) {
      c->errors.push_back(s1);
      c->errorCodes.push_back(p1);
    }
    if (id == dz::DZ_MSG_QUERY && p1 == dz::DZ_QUERY_LOGFILENAME) strcpy(s1, c->logName.c_str());
    if (id == dz::DZ_MSG_QUERY && p1 == dz::DZ_QUERY_LOGHEADER) strcpy(s1, c->logHeader.c_str());
    return 1;
  }
};

std::string Q(const std::string& winPath) { return "'" + ToUnixPath(winPath) + "'"; }

// Python prints "name method size" per entry, sorted by name, and checks every CRC.
std::string PyList(const std::string& zip) {
  std::string out;
  const std::string py =
      "import zipfile,sys\n"
      "z=zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "for i in sorted(z.infolist(), key=lambda i: i.filename): print(i.filename, i.compress_type, i.file_size)\n";
  WriteFile(zip + ".py", py);
  const int rc = RunUnix("python3 " + Q(zip + ".py") + " " + Q(zip), &out);
  DeleteFileW(tk::Widen(zip + ".py").c_str());
  return rc == 0 ? out : "python failed: " + out;
}

std::string PyRead(const std::string& zip, const std::string& name) {
  std::string out;
  RunUnix("python3 -c 'import zipfile,sys; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' " +
              Q(zip) + " '" + name + "'",
          &out);
  return out;
}

std::string PyComment(const std::string& zip) {
  std::string out;
  RunUnix("python3 -c 'import zipfile,sys; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).comment)' " + Q(zip),
          &out);
  return out;
}

void ExpectOutsideToolsAccept(const std::string& zip) {
  std::string out;
  EXPECT_EQ(RunUnix("unzip -t " + Q(zip), &out), 0) << out;
  EXPECT_EQ(RunUnix("7z t " + Q(zip), &out), 0) << out;
  EXPECT_EQ(PyList(zip).rfind("python failed", 0), std::string::npos);
}

// Seconds from one moment taken once per program, so that two calls a busy machine
// runs far apart still set times the given number of seconds apart.
void SetMTime(const std::string& path, int secondsFromNow) {
  HANDLE h = CreateFileW(tk::Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  static const FILETIME now = [] {
    FILETIME t;
    GetSystemTimeAsFileTime(&t);
    return t;
  }();
  FILETIME ft = now;
  ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
  u.QuadPart += static_cast<int64_t>(secondsFromNow) * 10000000;
  ft.dwLowDateTime = u.LowPart;
  ft.dwHighDateTime = u.HighPart;
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
}

// Pseudo-random bytes (incompressible) and repetitive text (compressible).
std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}
std::string Text(size_t n) {
  std::string s;
  for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of a backup test file\r\n";
  s.resize(n);
  return s;
}

class DzipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Entry(), nullptr) << "dzip32.dll or its entry dzip not found in " << BinDir();
    src = dir / "src\\";
    MakeDirs(src + "sub");
    WriteFile(src + "a.txt", Text(5000));
    WriteFile(src + "b.jpg", Noise(3000, 1));
    WriteFile(src + "sub\\c.txt", "small");
    WriteFile(src + "sub\\empty.dat", "");
    zip = dir / "out.zip";
  }
  void Std(ZipCall& c) {
    c.r.lpszZipFile = c.T(zip);
    c.r.lpszItemList = c.T("\"" + src + "*.*\"");
    c.r.RecurseFlag = dz::kDzTrue;
    c.r.wZipSubOptions |= dz::ZSO_RELATIVEPATH;
  }
  TempDir dir;
  std::string src, zip;
};

TEST_F(DzipTest, AddWritesAZipThatOutsideToolsAccept) {
  ZipCall c;
  Std(c);
  ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  ExpectOutsideToolsAccept(zip);
  EXPECT_EQ(PyList(zip), "a.txt 8 5000\nb.jpg 0 3000\nsub/ 0 0\nsub/c.txt 0 5\nsub/empty.dat 0 0\n");
  EXPECT_EQ(PyRead(zip, "a.txt"), Text(5000));
  EXPECT_TRUE(c.errors.empty());
}

// A tree whose bottom lies just past the host's path limit (which no whole path under
// Wine passes) is backed up whole, each folder reached from its parent; a branch deeper
// than any whole path can name is left out with one line naming where, and the rest of the
// tree goes in. (Thousands of levels: bench/run-deepbench.)
TEST_F(DzipTest, ADeepTreeIsBackedUpAndABranchTooDeepForAnyPathIsNamed) {
  const std::string deep = dir / "deep\\", longer = dir / "longer\\";
  // Folders of 31 characters, as many as take the deepest one's path past 4,096 bytes.
  constexpr size_t kHostPathLimit = 4096;
  const std::string part(31, 'd');
  const int levels = static_cast<int>((kHostPathLimit - ToUnixPath(deep).size()) / (part.size() + 1)) + 1;
  const int middle = levels / 2;
  // Made on the Linux side, each folder relative to its parent, as no whole path reaches
  // the bottom of either.
  WriteFile(dir / "tree.py",
            "import os, sys\n"
            "def chain(top, part, levels, files):\n"
            "    os.mkdir(top)\n"
            "    fd = os.open(top, os.O_RDONLY | os.O_DIRECTORY)\n"
            "    for i in range(1, levels + 1):\n"
            "        os.mkdir(part, dir_fd=fd)\n"
            "        below = os.open(part, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)\n"
            "        os.close(fd)\n"
            "        fd = below\n"
            "        if i in files:\n"
            "            f = os.open('f%d.txt' % i, os.O_WRONLY | os.O_CREAT, dir_fd=fd)\n"
            "            os.write(f, b'level %d' % i)\n"
            "            os.close(f)\n"
            "    os.close(fd)\n"
            "levels, middle = int(sys.argv[3]), int(sys.argv[4])\n"
            "chain(sys.argv[1], '" + part + "', levels, {middle, levels})\n"
            "chain(sys.argv[2], 'x' * 250, 140, {1, 130, 140})\n");
  ASSERT_EQ(RunUnix("python3 " + Q(dir / "tree.py") + " " + Q(deep) + " " + Q(longer) + " " + std::to_string(levels) +
                    " " + std::to_string(middle)),
            0);
  struct Gone {   // the Linux side removes what no whole path could
    std::string unixPaths;
    ~Gone() { RunUnix("rm -rf " + unixPaths); }
  } gone{Q(deep) + " " + Q(longer)};
  std::string dMiddle, dAll;
  for (int i = 0; i < levels; ++i) (i < middle ? dMiddle : dAll) += part + "/";
  dAll = dMiddle + dAll;
  // The bottom file is past what a whole path reaches, the middle one is not.
  const auto opens = [&deep](std::string rel) {
    std::replace(rel.begin(), rel.end(), '/', '\\');
    HANDLE h = CreateFileW(tk::Widen(deep + rel).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  };
  ASSERT_TRUE(opens(dMiddle + "f" + std::to_string(middle) + ".txt"));
  ASSERT_FALSE(opens(dAll + "f" + std::to_string(levels) + ".txt"));

  ZipCall c;
  Std(c);
  c.r.lpszItemList = c.T(deep + "*.*");
  ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  EXPECT_TRUE(c.warnings.empty()) << c.warnings.front().substr(0, 300);
  std::string out;
  EXPECT_EQ(RunUnix("unzip -tq " + Q(zip), &out), 0) << out.substr(0, 2000);
  // (What python says when an item is missing holds its whole name: the start is enough.)
  EXPECT_EQ(PyRead(zip, dMiddle + "f" + std::to_string(middle) + ".txt").substr(0, 300),
            "level " + std::to_string(middle));
  EXPECT_EQ(PyRead(zip, dAll + "f" + std::to_string(levels) + ".txt").substr(0, 300),
            "level " + std::to_string(levels));
  const std::string listed = PyList(zip);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), levels + 2);   // every folder, both files

  // The longer branch: 250-character names, a whole path longer than 32,767 characters
  // after 130 of them.
  ZipCall l;
  Std(l);
  const std::string longZip = dir / "longer.zip";
  l.r.lpszZipFile = l.T(longZip);
  l.r.lpszItemList = l.T(longer + "*.*");
  ASSERT_EQ(l.Run(dz::ZIP_ADD), 0);
  ASSERT_EQ(l.warnings.size(), 1u) << l.warnings.back().substr(0, 300);
  const std::string x(250, 'x');
  std::string kept = longer;   // the last folder whose path a call can name
  while ((kept + x + "\\").size() <= 32767 - 4) kept += x + "\\";
  const std::string expected = "Folder left out, its path is too long: " + kept + x + "\\";
  EXPECT_TRUE(l.warnings[0] == expected.substr(0, dz::kDzMsgBufferSize - 1)) << l.warnings[0].substr(0, 300);
  EXPECT_EQ(RunUnix("7z t " + Q(longZip), &out), 0) << out.substr(0, 2000);
  std::string x130;
  for (int i = 0; i < 130; ++i) x130 += x + "/";
  EXPECT_EQ(PyRead(longZip, x130 + "f130.txt").substr(0, 300), "level 130");
  EXPECT_EQ(PyList(longZip).find("f140.txt"), std::string::npos);
}

TEST_F(DzipTest, LargeFilesSpanChunksAndKeepTheirContent) {
  // Several MiB, compressible and not, so the entries are cut into parallel chunks.
  std::string mixed = Text(3u << 20) + Noise(2u << 20, 7) + Text(1u << 20);
  WriteFile(src + "big.bin", mixed);
  for (int level : {1, 9}) {
    ZipCall c;
    Std(c);
    c.r.CompFactor = level;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    ExpectOutsideToolsAccept(zip);
    EXPECT_EQ(PyRead(zip, "big.bin"), mixed) << "level " << level;
    DeleteFileW(tk::Widen(zip).c_str());
  }
}

// Checks every entry of a zip against the files below a folder: the same names (files and
// folders), and for each file its content, its CRC (0 in an encrypted entry, whose code
// covers the data), its time in the NTFS field exactly and in the DOS field within its 2 s.
// Contents come from the tree 7z extracted when one is named (Deflate64, encrypted), else
// from Python's own reading. Prints the entries and what differs.
const char* kAgainstSourcesPy = R"(import os, struct, sys, time, zipfile, zlib
zpath, src = sys.argv[1], sys.argv[2]
z = zipfile.ZipFile(zpath)
files, dirs = {}, set()
for d, _, fs in os.walk(src):
    rel = os.path.relpath(d, src).replace(os.sep, '/')
    if rel != '.': dirs.add(rel + '/')
    for f in fs: files[f if rel == '.' else rel + '/' + f] = os.path.join(d, f)
names = [i.filename for i in z.infolist()]
assert sorted(names) == sorted(list(files) + list(dirs)), sorted(set(names) ^ (set(files) | dirs))
bad = []
for i in z.infolist():
    if i.is_dir(): continue
    path, enc = files[i.filename], i.flag_bits & 1
    data = open(path, 'rb').read()
    got = open(os.path.join(sys.argv[3], i.filename), 'rb').read() if len(sys.argv) > 3 else z.read(i)
    ntfs, k = None, 0
    while k + 4 <= len(i.extra):
        tag, n = struct.unpack_from('<HH', i.extra, k)
        if tag == 10 and struct.unpack_from('<HH', i.extra, k + 8) == (1, 24):
            ntfs = struct.unpack_from('<Q', i.extra, k + 12)[0]
        k += 4 + n
    st = os.stat(path)
    if (got != data or i.CRC != (0 if enc else zlib.crc32(data)) or ntfs != st.st_mtime_ns // 100 + 116444736000000000
            or abs(time.mktime(i.date_time + (0, 0, -1)) - st.st_mtime) > 2):
        bad.append(i.filename)
print(len(names), bad)
)";

// Plain, Deflate64 and encrypted zips of files of several chunks hold every file as it is,
// and so does each after an update that replaces a file of several chunks and a small one,
// adds one and copies the rest from the old zip.
TEST_F(DzipTest, EveryEntryMatchesItsFileAcrossChunksAndAfterAnUpdate) {
  WriteFile(src + "two.bin", Noise(2u << 20, 4));   // two whole chunks
  MakeDirs(src + "many");
  for (int i = 0; i < 80; ++i) WriteFile(src + "many\\f" + std::to_string(i) + ".txt", Text(200 + 611 * i));
  WriteFile(dir / "check.py", kAgainstSourcesPy);
  const std::string password = "Upd4te pass";
  const auto expectMatches = [&](int factor, bool encrypted, const char* entries) {
    std::string out, args = Q(zip) + " " + Q(src);
    if (!encrypted) {
      EXPECT_EQ(RunUnix("unzip -tq " + Q(zip), &out), 0) << out;
    }
    if (encrypted || factor > 10) {
      const std::string x = dir / "x";
      RunUnix("rm -rf " + Q(x));
      EXPECT_EQ(RunUnix("7z x -y '-p" + password + "' -o" + Q(x) + " " + Q(zip), &out, 300000), 0) << out;
      args += " " + Q(x);
    }
    EXPECT_EQ(RunUnix("python3 " + Q(dir / "check.py") + " " + args, &out, 300000), 0) << out;
    EXPECT_EQ(out, std::string(entries) + " []\n");
  };
  struct Case {
    int factor;
    bool encrypted;
  } cases[] = {{5, false}, {15, false}, {5, true}};
  int round = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE("factor " + std::to_string(k.factor) + (k.encrypted ? " encrypted" : ""));
    ++round;
    WriteFile(src + "large.bin", Text(2u << 20) + Noise((1u << 20) + 777, round) + Text(300000));   // 4 chunks
    SetMTime(src + "large.bin", 60 * round - 30);
    const auto call = [&](int function) {
      ZipCall c;
      Std(c);
      c.r.CompFactor = k.factor;
      if (k.encrypted) {
        c.r.EncryptFlag = dz::kDzTrue;
        c.r.lpszEncryptCode = c.T(password);
      }
      return c.Run(function);
    };
    DeleteFileW(tk::Widen(zip).c_str());
    ASSERT_EQ(call(dz::ZIP_ADD), 0);
    expectMatches(k.factor, k.encrypted, "88");
    WriteFile(src + "large.bin", Noise(3u << 20, round + 10) + Text(5000));
    SetMTime(src + "large.bin", 60 * round);
    WriteFile(src + "many\\f40.txt", "changed " + Text(999));
    SetMTime(src + "many\\f40.txt", 60 * round);
    WriteFile(src + "many\\new.txt", Text(77777));
    ASSERT_EQ(call(dz::ZIP_UPDATE), 0);
    expectMatches(k.factor, k.encrypted, "89");
    DeleteFileW(tk::Widen(src + "many\\new.txt").c_str());
  }
}

TEST_F(DzipTest, NamesFollowThePathOptions) {
  {
    ZipCall c;
    Std(c);
    c.r.NoDirectoryNamesFlag = dz::kDzTrue;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(PyList(zip), "a.txt 8 5000\nb.jpg 0 3000\nc.txt 0 5\nempty.dat 0 0\n");
  }
  DeleteFileW(tk::Widen(zip).c_str());
  {
    ZipCall c;
    Std(c);
    c.r.NoDirectoryEntriesFlag = dz::kDzTrue;
    c.r.RecurseFlag = dz::kDzFalse;  // only the top folder
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(PyList(zip), "a.txt 8 5000\nb.jpg 0 3000\n");
  }
  DeleteFileW(tk::Widen(zip).c_str());
  {
    // Without relative names: the full path less the drive.
    ZipCall c;
    Std(c);
    c.r.wZipSubOptions = dz::ZSO_MINORCANCEL;
    c.r.NoDirectoryEntriesFlag = dz::kDzTrue;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    std::string expected = src.substr(3) + "a.txt";
    for (auto& ch : expected)
      if (ch == '\\') ch = '/';
    EXPECT_NE(PyList(zip).find(expected + " 8 5000"), std::string::npos) << PyList(zip);
  }
  DeleteFileW(tk::Widen(zip).c_str());
  {
    WriteFile(src + "A long file name.text", "x");
    ZipCall c;
    Std(c);
    c.r.RecurseFlag = dz::kDzFalse;
    c.r.wZipSubOptions |= dz::ZSO_MANGLELONGNAMES;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_NE(PyList(zip).find("ALONGF~1.TEX 0 1"), std::string::npos) << PyList(zip);
  }
}

TEST_F(DzipTest, NonAsciiNamesAreUtf8) {
  WriteFile(src + "gr\xC3\xBC\xC3\x9F.txt", "hi");
  ZipCall c;
  Std(c);
  c.r.RecurseFlag = dz::kDzFalse;
  ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  EXPECT_NE(PyList(zip).find("gr\xC3\xBC\xC3\x9F.txt 0 2"), std::string::npos) << PyList(zip);
}

TEST_F(DzipTest, FiltersChooseTheFiles) {
  {
    ZipCall c;
    Std(c);
    c.r.IncludeOnlyFollowingFlag = dz::kDzTrue;
    c.r.lpszIncludeFollowing = c.T("*.TXT");
    c.r.ExcludeFollowingFlag = dz::kDzTrue;
    c.r.lpszExcludeFollowing = c.T(src + "sub\\*");   // with a folder: matched against the full path
    c.r.NoDirectoryEntriesFlag = dz::kDzTrue;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(PyList(zip), "a.txt 8 5000\n");
  }
  DeleteFileW(tk::Widen(zip).c_str());
  {
    // Hidden files only with IncludeSysHiddenFlag.
    WriteFile(src + "h.txt", "hidden");
    SetFileAttributesW(tk::Widen(src + "h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ZipCall c;
    Std(c);
    c.r.RecurseFlag = dz::kDzFalse;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(PyList(zip).find("h.txt"), std::string::npos);
    ZipCall c2;
    Std(c2);
    c2.r.RecurseFlag = dz::kDzFalse;
    c2.r.IncludeSysHiddenFlag = dz::kDzTrue;
    ASSERT_EQ(c2.Run(dz::ZIP_ADD), 0);
    EXPECT_NE(PyList(zip).find("h.txt 0 6"), std::string::npos);
    SetFileAttributesW(tk::Widen(src + "h.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(tk::Widen(src + "h.txt").c_str());
  }
  DeleteFileW(tk::Widen(zip).c_str());
  {
    // After-date: files changed before midnight of the date are left out.
    SetMTime(src + "a.txt", -3 * 86400);
    SYSTEMTIME st;
    GetLocalTime(&st);
    char date[16];
    snprintf(date, sizeof date, "%02u%02u%02u", st.wMonth, st.wDay, st.wYear % 100);
    ZipCall c;
    Std(c);
    c.r.AfterDateFlag = dz::kDzTrue;
    c.r.lpszDate = c.T(date);
    c.r.NoDirectoryEntriesFlag = dz::kDzTrue;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(PyList(zip), "b.jpg 0 3000\nsub/c.txt 0 5\nsub/empty.dat 0 0\n");
  }
  {
    ZipCall c;
    Std(c);
    c.r.lpszItemList = c.T(src + "*.nothing");
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_NONE);
  }
}

TEST_F(DzipTest, FactorsSuffixesAndComment) {
  WriteFile(src + "d.zip", Text(4000));
  ZipCall c;
  Std(c);
  c.r.RecurseFlag = dz::kDzFalse;
  c.r.DontCompressTheseSuffixesFlag = dz::kDzTrue;
  c.r.lpszStoreSuffixes = c.T(".BZ2:.ZIP:.JPG");
  c.r.AddCommentFlag = dz::kDzTrue;
  c.r.lpszComment = c.T("first line\r\nsecond\r\n");
  ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  EXPECT_EQ(PyList(zip), "a.txt 8 5000\nb.jpg 0 3000\nd.zip 0 4000\n");
  EXPECT_EQ(PyComment(zip), "first line\r\nsecond\r\n");
  DeleteFileW(tk::Widen(zip).c_str());

  ZipCall s;
  Std(s);
  s.r.RecurseFlag = dz::kDzFalse;
  s.r.CompFactor = 0;
  ASSERT_EQ(s.Run(dz::ZIP_ADD), 0);
  EXPECT_EQ(PyList(zip), "a.txt 0 5000\nb.jpg 0 3000\nd.zip 0 4000\n");
  DeleteFileW(tk::Widen(zip).c_str());

  // A comment of more than 65535 bytes is refused, no zip is written.
  ZipCall big;
  Std(big);
  big.r.AddCommentFlag = dz::kDzTrue;
  big.r.lpszComment = big.T(std::string(70000, 'c'));
  EXPECT_EQ(big.Run(dz::ZIP_ADD), dz::ZE_NOTE);
  EXPECT_FALSE(Exists(zip));
}

TEST_F(DzipTest, UpdateAndFreshenTakeWhatIsNewerThanItsEntry) {
  SetMTime(src + "a.txt", -100);
  SetMTime(src + "sub\\c.txt", -100);
  {
    ZipCall c;
    Std(c);
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  }
  const std::string before = ReadFile(zip);
  {
    // Nothing newer: the zip is left byte for byte.
    ZipCall c;
    Std(c);
    EXPECT_EQ(c.Run(dz::ZIP_UPDATE), 0);
    EXPECT_EQ(ReadFile(zip), before);
  }
  {
    // Changed again within a second: the entry's own times tell it is newer.
    WriteFile(src + "a.txt", "changed at once");
    SetMTime(src + "a.txt", -99);
    ZipCall c;
    Std(c);
    EXPECT_EQ(c.Run(dz::ZIP_UPDATE), 0);
    EXPECT_EQ(PyRead(zip, "a.txt"), "changed at once");
  }
  WriteFile(src + "a.txt", "changed a");
  SetMTime(src + "a.txt", -50);
  WriteFile(src + "new.txt", "new file");
  {
    ZipCall c;
    Std(c);
    ASSERT_EQ(c.Run(dz::ZIP_FRESHEN), 0);
    EXPECT_EQ(PyRead(zip, "a.txt"), "changed a");
    EXPECT_EQ(PyList(zip).find("new.txt"), std::string::npos);   // freshen adds nothing
    EXPECT_EQ(PyRead(zip, "sub/c.txt"), "small");
  }
  {
    ZipCall c;
    Std(c);
    ASSERT_EQ(c.Run(dz::ZIP_UPDATE), 0);
    EXPECT_EQ(PyRead(zip, "new.txt"), "new file");
    ExpectOutsideToolsAccept(zip);
  }
  {
    // Add replaces same-named entries and keeps the others.
    WriteFile(dir / "other.txt", "other");
    ZipCall c;
    c.r.lpszZipFile = c.T(zip);
    c.r.lpszItemList = c.T(dir / "other.txt");
    c.r.NoDirectoryNamesFlag = dz::kDzTrue;
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(PyList(zip), "a.txt 0 9\nb.jpg 0 3000\nnew.txt 0 8\nother.txt 0 5\nsub/ 0 0\nsub/c.txt 0 5\n"
                           "sub/empty.dat 0 0\n");
  }
  {
    ZipCall c;
    Std(c);
    c.r.lpszZipFile = c.T(dir / "missing.zip");
    EXPECT_EQ(c.Run(dz::ZIP_FRESHEN), dz::ZE_NAME);
  }
}

// The files of the big update: "make" writes them a day old, "change" rewrites every
// hundredth and adds new ones, "check" compares the zip with the folder: the same names,
// every CRC right, every entry's bytes those of its file.
const char* kBigUpdatePy = R"(import os, sys, time, zipfile
mode, root = sys.argv[1], sys.argv[2]
def content(i, tag):
    return (tag + ' %d\n' % i) * (1 + i % 40)
if mode == 'make':
    old = time.time() - 86400
    for i in range(10200):
        d = os.path.join(root, 'd%02d' % (i % 60))
        os.makedirs(d, exist_ok=True)
        p = os.path.join(d, 'f%05d.txt' % i)
        open(p, 'w').write(content(i, 'file'))
        os.utime(p, (old, old))
elif mode == 'change':
    for i in range(0, 10200, 100):
        open(os.path.join(root, 'd%02d' % (i % 60), 'f%05d.txt' % i), 'w').write(content(i, 'changed'))
    for i in range(3):
        open(os.path.join(root, 'new%d.txt' % i), 'w').write(content(i, 'new'))
else:
    z = zipfile.ZipFile(sys.argv[3])
    bad = z.testzip()
    assert bad is None, 'bad CRC: ' + bad
    files = {os.path.relpath(os.path.join(d, f), root).replace(os.sep, '/') for d, _, fs in os.walk(root) for f in fs}
    names = [n for n in z.namelist() if not n.endswith('/')]
    assert len(names) == len(set(names)), 'an entry twice'
    assert set(names) == files, 'entries and files differ: %s' % sorted(set(names) ^ files)[:5]
    for n in names:
        assert z.read(n) == open(os.path.join(root, n), 'rb').read(), 'content of ' + n
    print(len(names), sum(z.read(n).startswith(b'changed') for n in names))
)";

TEST_F(DzipTest, UpdateKeepingTenThousandEntriesKeepsEachWholeAndReplacesTheChanged) {
  const std::string big = dir / "big\\", py = dir / "big.py";
  MakeDirs(big);
  WriteFile(py, kBigUpdatePy);
  const auto script = [&](const std::string& args) {
    std::string out;
    EXPECT_EQ(RunUnix("python3 " + Q(py) + " " + args, &out, 300000), 0) << out;
    return out;
  };
  script("make " + Q(big));
  const auto call = [&](int function) {
    ZipCall c;
    c.r.lpszZipFile = c.T(zip);
    c.r.lpszItemList = c.T("\"" + big + "*.*\"");
    c.r.RecurseFlag = dz::kDzTrue;
    c.r.wZipSubOptions |= dz::ZSO_RELATIVEPATH;
    return c.Run(function);
  };
  ASSERT_EQ(call(dz::ZIP_ADD), 0);
  script("change " + Q(big));
  ASSERT_EQ(call(dz::ZIP_UPDATE), 0);
  // 10,203 files, of which the 102 changed ones hold their new text; the 10,098 kept entries
  // were copied from the old zip in runs broken where a changed one was left out.
  EXPECT_EQ(script("check " + Q(big) + " " + Q(zip)), "10203 102\n");
  std::string out;
  EXPECT_EQ(RunUnix("unzip -tq " + Q(zip), &out), 0) << out;
}

TEST_F(DzipTest, CancelAndFailuresLeaveTheOldZipAndNoTempFile) {
  {
    ZipCall c;
    Std(c);
    ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  }
  const std::string before = ReadFile(zip);
  WriteFile(src + "more.txt", Text(300000));
  {
    ZipCall c;
    Std(c);
    c.cancelAfterMajor = 2;
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_ABORT);
    EXPECT_EQ(ReadFile(zip), before);
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"out.zip", "src"}));
  }
  {
    // A temp folder that does not exist: the old zip stays.
    ZipCall c;
    Std(c);
    c.r.PathForTempFlag = dz::kDzTrue;
    c.r.lpszTempPath = c.T(dir / "no such folder");
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_TEMP);
    EXPECT_EQ(ReadFile(zip), before);
  }
  {
    // A temp folder elsewhere is used and left empty.
    MakeDirs(dir / "tmp");
    ZipCall c;
    Std(c);
    c.r.PathForTempFlag = dz::kDzTrue;
    c.r.lpszTempPath = c.T(dir / "tmp");
    EXPECT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_TRUE(ListDir(dir / "tmp").empty());
    EXPECT_EQ(PyRead(zip, "more.txt"), Text(300000));
  }
  {
    // An existing file that is not a zip is never overwritten.
    WriteFile(dir / "bad.zip", "not a zip at all");
    ZipCall c;
    Std(c);
    c.r.lpszZipFile = c.T(dir / "bad.zip");
    EXPECT_NE(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(ReadFile(dir / "bad.zip"), "not a zip at all");
  }
}

TEST_F(DzipTest, LockedFilesFailOrAreSkippedWithAWarning) {
  HANDLE lock = CreateFileW(tk::Widen(src + "a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  {
    ZipCall c;
    Std(c);
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_OPEN);
    EXPECT_FALSE(Exists(zip));
    ASSERT_EQ(c.errorCodes.size(), 1u);
    EXPECT_EQ(c.errorCodes[0], dz::ZE_OPEN);
  }
  {
    ZipCall c;
    Std(c);
    c.r.wZipSubOptions |= dz::ZSO_SKIPLOCKEDFILES;
    c.r.DeleteOriginalFlag = dz::kDzTrue;
    EXPECT_EQ(c.Run(dz::ZIP_ADD), 0);
    ASSERT_EQ(c.warnings.size(), 1u);
    EXPECT_NE(c.warnings[0].find("a.txt"), std::string::npos);
    EXPECT_EQ(PyList(zip).find("a.txt"), std::string::npos);
    CloseHandle(lock);
    lock = INVALID_HANDLE_VALUE;
    // Sources that went in are deleted, the skipped one is not.
    EXPECT_TRUE(Exists(src + "a.txt"));
    EXPECT_FALSE(Exists(src + "b.jpg"));
    EXPECT_FALSE(Exists(src + "sub\\c.txt"));
  }
  {
    // An update whose newer file is locked keeps the file's older entry.
    ZipCall add, c;
    Std(add);
    ASSERT_EQ(add.Run(dz::ZIP_ADD), 0);
    const std::string before = PyList(zip);
    SetMTime(src + "a.txt", 60);
    lock = CreateFileW(tk::Widen(src + "a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Std(c);
    c.r.wZipSubOptions |= dz::ZSO_SKIPLOCKEDFILES;
    EXPECT_EQ(c.Run(dz::ZIP_UPDATE), 0);
    EXPECT_EQ(PyList(zip), before);
  }
  if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
}

// A file that grows past one chunk between its listing and its reading goes in as far as
// it was read, with its true size and CRC, and a warning and the zip log name it as
// changed; a large file that stays as it was is not named.
TEST_F(DzipTest, AFileThatGrowsWhileZippedIsStoredAsReadAndNamed) {
  WriteFile(src + "big.dat", Noise((5u << 20) / 2, 7));
  const std::string grown = Text(3u << 20);
  ZipCall c;
  Std(c);
  c.logName = dir / "log.txt";
  c.r.wZipSubOptions |= dz::ZSO_LOGZIPRESULTS;
  // a.txt grows once it is chosen at 5,000 bytes, before it is read.
  c.onMajor = [&](int call) { if (call == 2) WriteFile(src + "a.txt", grown); };
  ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  EXPECT_EQ(c.warnings, std::vector<std::string>{"File changed while it was zipped, stored as read (1048576 bytes): " +
                                                 src + "a.txt"});
  ExpectOutsideToolsAccept(zip);
  EXPECT_TRUE(PyRead(zip, "a.txt") == grown.substr(0, 1u << 20));
  const std::string log = ReadFile(c.logName);
  const size_t line = log.find("adding: a.txt (deflated"),
               said = log.find("%), changed while it was zipped, stored as read");
  EXPECT_TRUE(line < said && said < log.find('\n', line) && log.rfind("changed while") == said + 4) << log;
}

// The three NTFS times of one entry as the zip's central directory holds them.
std::string PyNtfsTimes(const std::string& zip, const std::string& name) {
  std::string out;
  const std::string py =
      "import zipfile,struct,sys\n"
      "x=zipfile.ZipFile(sys.argv[1]).getinfo(sys.argv[2]).extra\n"
      "while x:\n"
      "  tag,size=struct.unpack('<HH',x[:4])\n"
      "  if tag==10: print(*struct.unpack('<QQQ',x[12:36]))\n"
      "  x=x[4+size:]\n";
  WriteFile(zip + ".py", py);
  RunUnix("python3 " + Q(zip + ".py") + " " + Q(zip) + " '" + name + "'", &out);
  DeleteFileW(tk::Widen(zip + ".py").c_str());
  return out;
}

std::string WinTimes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA fa{};
  GetFileAttributesExW(tk::Widen(path).c_str(), GetFileExInfoStandard, &fa);
  auto v = [](const FILETIME& f) { return std::to_string(static_cast<uint64_t>(f.dwHighDateTime) << 32 | f.dwLowDateTime); };
  return v(fa.ftLastWriteTime) + " " + v(fa.ftLastAccessTime) + " " + v(fa.ftCreationTime) + "\n";
}

TEST_F(DzipTest, ManySmallFilesGoInWithTheirTimesAndALostOneIsReportedInItsPlace) {
  // Many small files are read at once; one vanishes and one is locked after the
  // selection, and both are reported while the others go in whole.
  const int kFiles = 1500;
  MakeDirs(src + "many");
  auto content = [](int i) { return "file " + std::to_string(i) + "\r\n" + Text(static_cast<size_t>(i * 37 % 20000)); };
  for (int i = 0; i < kFiles; ++i) WriteFile(src + "many\\f" + std::to_string(i) + ".txt", content(i));
  const std::string times = WinTimes(src + "many\\f5.txt");
  HANDLE lock = INVALID_HANDLE_VALUE;
  ZipCall c;
  Std(c);
  c.r.CompFactor = 1;
  c.r.wZipSubOptions |= dz::ZSO_SKIPLOCKEDFILES;
  c.onMajor = [&](int call) {
    if (call != 2) return;   // the files are chosen, none is read yet
    DeleteFileW(tk::Widen(src + "many\\f700.txt").c_str());
    lock = CreateFileW(tk::Widen(src + "many\\f900.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  EXPECT_EQ(c.Run(dz::ZIP_ADD), 0);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  CloseHandle(lock);
  ASSERT_EQ(c.warnings.size(), 2u);
  std::vector<std::string> warned = c.warnings;
  std::sort(warned.begin(), warned.end());
  EXPECT_EQ(warned[0], "File skipped (locked or no read permission): " + src + "many\\f900.txt");
  EXPECT_EQ(warned[1], "File skipped (not found): " + src + "many\\f700.txt");
  std::string out;
  EXPECT_EQ(RunUnix("unzip -tq " + Q(zip), &out), 0) << out;
  const std::string list = PyList(zip);
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), kFiles - 2 + 6);   // and the five of the set-up, many/
  EXPECT_EQ(list.find("many/f700.txt"), std::string::npos);
  EXPECT_EQ(list.find("many/f900.txt"), std::string::npos);
  for (int i : {0, 1, 699, 701, 1499}) EXPECT_EQ(PyRead(zip, "many/f" + std::to_string(i) + ".txt"), content(i)) << i;
  // The file times come from the folder listing: write, access and creation time.
  EXPECT_EQ(PyNtfsTimes(zip, "many/f5.txt"), times);
}

TEST_F(DzipTest, ZipLogHoldsHeaderEntriesAndSummary) {
  ZipCall c;
  Std(c);
  c.logName = dir / "run log.txt";
  c.logHeader = "--- Log %s --- %d %n %x ---";   // only %s is filled
  c.r.wZipSubOptions |= dz::ZSO_LOGZIPRESULTS;
  c.r.CompFactor = 15;
  ASSERT_EQ(c.Run(dz::ZIP_ADD), 0);
  const std::string log = ReadFile(c.logName);
  EXPECT_EQ(log.rfind("--- Log ", 0), 0u) << log;
  EXPECT_NE(log.find(zip + " --- %d %n %x ---\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  adding: a.txt (deflate64"), std::string::npos) << log;
  EXPECT_NE(log.find("  adding: sub/c.txt (stored"), std::string::npos) << log;
  EXPECT_NE(log.find("Deflate64"), std::string::npos) << log;   // factor 15 says what it did
  EXPECT_NE(log.find("Total: 4 added"), std::string::npos) << log;
  // A second run of the same minute appends.
  ZipCall again;
  Std(again);
  again.logName = c.logName;
  again.r.wZipSubOptions |= dz::ZSO_LOGZIPRESULTS;
  ASSERT_EQ(again.Run(dz::ZIP_UPDATE), 0);
  const std::string log2 = ReadFile(c.logName);
  EXPECT_EQ(log2.rfind(log, 0), 0u);
  EXPECT_NE(log2.find("Nothing changed", log.size()), std::string::npos) << log2;
}

TEST_F(DzipTest, ArchiveBitsComeFromTheSeamAndClearOnlyAfterSuccess) {
  const std::string table = dir / "bits.txt";
  WriteFile(table, "1 " + src + "a.txt\r\n0 " + src + "b.jpg\r\n0 " + src + "sub\\c.txt\r\n0 " + src +
                       "sub\\empty.dat\r\n");
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", tk::Widen(table).c_str());
  {
    // A failing run (the only archived file locked) clears nothing.
    HANDLE lock = CreateFileW(tk::Widen(src + "a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ZipCall c;
    Std(c);
    c.r.wZipSubOptions |= dz::ZSO_JUST_ARCHIVED | dz::ZSO_RESET_ARCHIVED;
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_OPEN);
    CloseHandle(lock);
    EXPECT_NE(ReadFile(table).find("1 " + src + "a.txt"), std::string::npos);
  }
  {
    ZipCall c;
    Std(c);
    c.r.wZipSubOptions |= dz::ZSO_JUST_ARCHIVED | dz::ZSO_RESET_ARCHIVED;
    c.r.NoDirectoryEntriesFlag = dz::kDzTrue;
    EXPECT_EQ(c.Run(dz::ZIP_ADD), 0);
    EXPECT_EQ(PyList(zip), "a.txt 8 5000\n");
    EXPECT_NE(ReadFile(table).find("0 " + src + "a.txt"), std::string::npos);
  }
  {
    ZipCall c;
    Std(c);
    c.r.lpszZipFile = c.T(dir / "second.zip");
    c.r.wZipSubOptions |= dz::ZSO_JUST_ARCHIVED;
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_NONE);   // no archived file is left
  }
  SetEnvironmentVariableW(L"QB_ARCHIVE_BIT_TABLE", nullptr);
}

TEST_F(DzipTest, RefusesWhatItCannotDoSoundly) {
  {
    ZipCall c;
    Std(c);
    c.r.recordSize = 220;   // a 32-bit record
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_PARMS);
  }
  {
    ZipCall c;
    Std(c);
    c.r.EncryptFlag = dz::kDzTrue;   // without a password
    EXPECT_EQ(c.Run(dz::ZIP_ADD), dz::ZE_PARMS);
    EXPECT_FALSE(Exists(zip));   // never an unencrypted zip instead
    ASSERT_EQ(c.errors.size(), 1u);
  }
  {
    ZipCall c;
    Std(c);
    EXPECT_EQ(c.Run(7), dz::ZE_PARMS);
  }
}

}  // namespace
