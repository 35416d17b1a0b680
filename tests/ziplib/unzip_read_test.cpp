// Listing, counting, testing and extracting zips made by outside tools, through the binding.
#include <windows.h>

#include <algorithm>

#include "toolkit/strings.h"
#include "ziplib/unzip_testutil.h"
#include "ziplib/zipcraft.h"

using namespace unziptest;
using qbtest::ReadFile;
using qbtest::TempDir;
using qbtest::WriteFile;

namespace {

// A small tree: text, a binary block, an empty file, a nested file and an empty folder.
void MakeTree(const std::string& root) {
  qbtest::MakeDirs(root + "src\\sub\\deeper");
  qbtest::MakeDirs(root + "src\\emptydir");
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + " of some compressible text\n";
  std::string bin;
  for (int i = 0; i < 70000; ++i) bin += char((i * 7919) >> 3);
  WriteFile(root + "src\\a.txt", text);
  WriteFile(root + "src\\empty.txt", "");
  WriteFile(root + "src\\sub\\b.bin", bin);
  WriteFile(root + "src\\sub\\deeper\\c.txt", "deep");
}

void ExpectSameTree(const std::string& src, const std::string& out) {
  EXPECT_EQ(ReadFile(out + "a.txt"), ReadFile(src + "a.txt"));
  EXPECT_TRUE(qbtest::Exists(out + "empty.txt"));
  EXPECT_EQ(ReadFile(out + "empty.txt"), "");
  EXPECT_EQ(ReadFile(out + "sub\\b.bin"), ReadFile(src + "sub\\b.bin"));
  EXPECT_EQ(ReadFile(out + "sub\\deeper\\c.txt"), "deep");
  DWORD a = GetFileAttributesW(tk::Widen(out + "emptydir").c_str());
  EXPECT_NE(a, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(a & FILE_ATTRIBUTE_DIRECTORY);
}

uint64_t MTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(tk::Widen(path).c_str(), GetFileExInfoStandard, &d)) return 0;
  return (uint64_t(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime;
}

class ToolZips : public ::testing::TestWithParam<std::string> {};

// Info-ZIP zip, 7z, and both with zip64 records forced.
TEST_P(ToolZips, ListTestAndExtractMatchTheSources) {
  TempDir t;
  MakeTree(t.path());
  Sh(t / "src", GetParam());
  const std::string zip = t / "t.zip";

  Recorded r;
  int result = -1;
  std::vector<std::string> names = r.List(zip, &result);
  EXPECT_EQ(result, 0);
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {"a.txt", "empty.txt", "emptydir/", "sub/", "sub/b.bin", "sub/deeper/",
                                       "sub/deeper/c.txt"};
  for (const std::string& n : expected)
    EXPECT_TRUE(std::find(names.begin(), names.end(), n) != names.end()) << n;
  // A step past the last item fails and keeps the count of the last successful call.
  const int count = r.uz.ItemCount;
  EXPECT_FALSE(r.uz.Execute(2));
  EXPECT_EQ(r.uz.ResultCode(), dz::UE_INDEX);
  EXPECT_EQ(r.uz.ItemCount, count);

  EXPECT_EQ(r.Test(zip), 0);
  EXPECT_FALSE(r.majors.empty());

  const std::string out = t / "out\\";
  EXPECT_EQ(r.Extract(zip, out), 0);
  ExpectSameTree(t / "src\\", out);
  // The stored modification time comes back (2-second DOS granularity at worst).
  const int64_t diff = int64_t(MTime(out + "a.txt")) - int64_t(MTime(t / "src\\a.txt"));
  EXPECT_LE(std::llabs(diff), 20000000LL);
}

INSTANTIATE_TEST_SUITE_P(Tools, ToolZips,
                         ::testing::Values("zip -q -r ../t.zip .", "7z a -tzip -bd ../t.zip . >/dev/null",
                                           "zip -q -r -fz ../t.zip .",
                                           "7z a -tzip -bd -mm=Deflate64 ../t.zip . >/dev/null"));

TEST(UnzipRead, Utf8NamesFromBitElevenAndCodePage437Otherwise) {
  TempDir t;
  qbtest::MakeDirs(t / "src");
  WriteFile(t / "src\\Grüße.txt", "hallo");
  WriteFile(t / "src\\日本.txt", "nihon");
  Sh(t / "src", "7z a -tzip -bd ../u.zip . >/dev/null");
  // A name without bit 11 is code page 437: byte 0x81 is 'ü'.
  Python(t.path(), "import zipfile\nz=zipfile.ZipFile('c.zip','w')\n"
                   "i=zipfile.ZipInfo('x')\ni.filename=b'gr\\x81n.txt'.decode('cp437')\nz.writestr(i,b'g')\nz.close()\n");
  Recorded r;
  std::vector<std::string> names = r.List(t / "u.zip");
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "Grüße.txt");
  EXPECT_EQ(names[1], "日本.txt");
  EXPECT_EQ(r.Extract(t / "u.zip", t / "out"), 0);
  EXPECT_EQ(ReadFile(t / "out\\日本.txt"), "nihon");
  EXPECT_EQ(r.List(t / "c.zip"), std::vector<std::string>{"grün.txt"});
}

TEST(UnzipRead, CountMatchingHonoursMasksAndRecurse) {
  TempDir t;
  MakeTree(t.path());
  WriteFile(t / "src\\stored.zip", "not really");
  Sh(t / "src", "zip -q -r ../t.zip .");
  Recorded r;
  r.uz.lpszZipFile.SetText(t / "t.zip");
  auto count = [&](const char* spec, TUnzipFlags flags) {
    r.uz.Options = flags;
    r.uz.lpszFileSpec.SetText(spec);
    EXPECT_TRUE(r.uz.Execute(3)) << spec;
    return r.uz.ItemCount;
  };
  EXPECT_EQ(count("stored.zip", {F::QuietFlag}), 1);
  EXPECT_EQ(count("STORED.ZIP", {F::QuietFlag}), 1);
  EXPECT_EQ(count("*.txt", {F::QuietFlag}), 2);                       // root only
  EXPECT_EQ(count("*.txt", {F::QuietFlag, F::RecurseFlag}), 3);       // at any depth
  EXPECT_EQ(count("*.txt \"*.bin\"", {F::QuietFlag, F::RecurseFlag}), 4);
  EXPECT_EQ(count("sub/*", {F::QuietFlag, F::RecurseFlag}), 3);        // b.bin, deeper/, c.txt
  EXPECT_EQ(count("nothing.here", {F::QuietFlag}), 0);                 // success with 0
  // Extracting what matches nothing is an error, not a silent success.
  EXPECT_EQ(r.Run(t / "t.zip", "nothing.here", t / "out", {F::RecurseFlag}), dz::UE_NOFILES);
}

TEST(UnzipRead, EncryptedItemsAreMarkedAndNeverTestGoodWithoutPassword) {
  TempDir t;
  qbtest::MakeDirs(t / "src");
  WriteFile(t / "src\\secret.txt", "classified contents");
  WriteFile(t / "src\\plain.txt", "open");
  Sh(t / "src", "zip -q -P pw ../e.zip secret.txt && zip -q ../e.zip plain.txt");
  Recorded r;
  std::vector<uint32_t> attrs;
  std::vector<std::string> names = r.List(t / "e.zip", nullptr, &attrs);
  ASSERT_EQ(names.size(), 2u);
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ((attrs[i] & dz::kItemEncrypted) != 0, names[i] == "secret.txt") << names[i];
  const int rc = r.Test(t / "e.zip");
  EXPECT_NE(rc, 0);
  EXPECT_GE(rc, dz::UE_ENCRYPTED);
  EXPECT_LE(rc, dz::UE_BADPASSWORD);
}

TEST(UnzipRead, TraditionalAndAesItemsWithTheirPasswords) {
  TempDir t;
  qbtest::MakeDirs(t / "src");
  std::string text;
  for (int i = 0; i < 500; ++i) text += "secret line " + std::to_string(i) + "\n";
  WriteFile(t / "src\\secret.txt", text);
  Sh(t / "src", "zip -q -P pw ../pk.zip secret.txt && 7z a -tzip -bd -mem=AES256 -ppw ../aes.zip secret.txt >/dev/null");
  for (const char* zip : {"pk.zip", "aes.zip"}) {
    Recorded r;
    r.uz.lpszDecryptCode.SetText("pw");
    const TUnzipFlags test{F::QuietFlag, F::TestFlag, F::RecurseFlag, F::DecryptFlag};
    EXPECT_EQ(r.Run(t / zip, "*.*", "", test), 0) << zip;
    EXPECT_EQ(r.Run(t / zip, "*.*", t / "out\\", {F::RecurseFlag, F::OverWriteFlag, F::DecryptFlag}), 0) << zip;
    EXPECT_EQ(ReadFile(t / "out\\secret.txt"), text) << zip;
    r.uz.lpszDecryptCode.SetText("wrong");
    EXPECT_EQ(r.Run(t / zip, "*.*", "", test), dz::UE_BADPASSWORD) << zip;
  }
}

TEST(UnzipRead, BadCrcIsReportedPerItemAndOtherItemsGoOn) {
  TempDir t;
  Python(t.path(), "import zipfile\nz=zipfile.ZipFile('s.zip','w')\n"
                   "z.writestr('one.txt', b'A'*1000)\nz.writestr('two.txt', b'B'*1000)\nz.close()\n"
                   "d=bytearray(open('s.zip','rb').read())\ni=d.index(b'A'*1000)\nd[i+500]^=1\n"
                   "open('s.zip','wb').write(bytes(d))\n");
  Recorded r;
  EXPECT_EQ(r.Test(t / "s.zip"), dz::UE_CRC);
  ASSERT_EQ(r.Count(dz::DZ_MSG_ERROR), 1);
  EXPECT_EQ(r.messages.back().p1, dz::UE_CRC);
  EXPECT_NE(r.messages.back().text.find("one.txt"), std::string::npos);
  EXPECT_EQ(r.Extract(t / "s.zip", t / "out"), dz::UE_CRC);
  EXPECT_FALSE(qbtest::Exists(t / "out\\one.txt"));  // no partial file is left
  EXPECT_EQ(ReadFile(t / "out\\two.txt"), std::string(1000, 'B'));
}

TEST(UnzipRead, OverwriteFlagAndFolderNames) {
  TempDir t;
  MakeTree(t.path());
  Sh(t / "src", "zip -q -r ../t.zip .");
  const std::string out = t / "out\\";
  qbtest::MakeDirs(out);
  WriteFile(out + "a.txt", "mine");
  Recorded r;
  // Without OverWriteFlag an existing file stays, with a warning.
  EXPECT_EQ(r.Run(t / "t.zip", "*.*", out, {F::RecurseFlag}), 0);
  EXPECT_EQ(ReadFile(out + "a.txt"), "mine");
  EXPECT_EQ(r.Count(dz::DZ_MSG_WARNING), 1);
  EXPECT_EQ(ReadFile(out + "sub\\deeper\\c.txt"), "deep");
  EXPECT_EQ(r.Run(t / "t.zip", "a.txt", out, {F::RecurseFlag, F::OverWriteFlag}), 0);
  EXPECT_EQ(ReadFile(out + "a.txt"), ReadFile(t / "src\\a.txt"));
  // Without folder names every file lands in the destination itself.
  const std::string flat = t / "flat\\";
  EXPECT_EQ(r.Run(t / "t.zip", "*.*", flat, {F::RecurseFlag, F::NoDirectoryNamesFlag}), 0);
  EXPECT_EQ(ReadFile(flat + "c.txt"), "deep");
  EXPECT_TRUE(qbtest::Exists(flat + "b.bin"));
  EXPECT_FALSE(qbtest::Exists(flat + "sub"));
}

// A name repeated in one zip meets the file this same call has just written: the first
// stays, with OverWriteFlag the later item is an error, without it a warning. Either way
// every file is complete and closed once the call returns.
TEST(UnzipRead, RepeatedNameMeetsTheFileJustWritten) {
  TempDir t;
  Python(t.path(), "import zipfile, warnings\nwarnings.simplefilter('ignore')\n"
                   "z=zipfile.ZipFile('d.zip','w', zipfile.ZIP_DEFLATED)\n"
                   "z.writestr('d/x.txt', b'first')\nz.writestr('d/y.txt', b'other')\n"
                   "z.writestr('d/x.txt', b'second'*1000)\nz.close()\n");
  auto closed = [](const std::string& path) {
    HANDLE h = CreateFileW(tk::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  };
  Recorded r;
  EXPECT_EQ(r.Run(t / "d.zip", "*.*", t / "o1", {F::RecurseFlag, F::OverWriteFlag}), dz::UE_CREATE);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 1);
  EXPECT_EQ(ReadFile(t / "o1\\d\\x.txt"), "first");
  EXPECT_EQ(ReadFile(t / "o1\\d\\y.txt"), "other");
  EXPECT_TRUE(closed(t / "o1\\d\\x.txt"));
  EXPECT_TRUE(closed(t / "o1\\d\\y.txt"));
  EXPECT_FALSE(qbtest::Exists(t / "o1\\d\\x.txt.qbpart"));
  EXPECT_EQ(r.Count(dz::DZ_MSG_WARNING), 0);
  EXPECT_EQ(r.Run(t / "d.zip", "*.*", t / "o2", {F::RecurseFlag}), 0);
  EXPECT_EQ(ReadFile(t / "o2\\d\\x.txt"), "first");
  EXPECT_EQ(r.Count(dz::DZ_MSG_WARNING), 1);
  EXPECT_TRUE(closed(t / "o2\\d\\x.txt"));
  EXPECT_TRUE(closed(t / "o2\\d\\y.txt"));
}

TEST(UnzipRead, StoredAttributesComeBack) {
  TempDir t;
  qbtest::MakeDirs(t / "src");
  WriteFile(t / "src\\ro.txt", "read only");
  WriteFile(t / "src\\rw.txt", "writable");
  Sh(t / "src", "chmod 444 ro.txt && zip -q ../a.zip ro.txt rw.txt");
  Recorded r;
  EXPECT_EQ(r.Extract(t / "a.zip", t / "out"), 0);
  EXPECT_TRUE(GetFileAttributesW(tk::Widen(t / "out\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(GetFileAttributesW(tk::Widen(t / "out\\rw.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(tk::Widen(t / "out\\ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A folder entry's time and attributes go to a folder this extraction made, also one a file
// item made before the entry came, never to a folder that was there.
TEST(UnzipRead, FoldersThatWereThereKeepTheirTimesAndAttributes) {
  TempDir t;
  constexpr uint32_t kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  WriteFile(t / "f.zip", zipcraft::Zip({{.name = "docs/", .externalAttr = kHidden | FILE_ATTRIBUTE_DIRECTORY},
                                        {.name = "docs/a.txt", .data = "a"}, {.name = "made/x.txt", .data = "x"},
                                        {.name = "made/", .externalAttr = kHidden | FILE_ATTRIBUTE_DIRECTORY}}).bytes);
  const std::string out = t / "out\\";
  const auto info = [&](const std::string& name) {   // its hidden and system bits, and whether dated by 1980
    WIN32_FILE_ATTRIBUTE_DATA d{};
    SYSTEMTIME st{};
    GetFileAttributesExW(tk::Widen(out + name).c_str(), GetFileExInfoStandard, &d);
    FileTimeToSystemTime(&d.ftLastWriteTime, &st);
    return std::to_string(d.dwFileAttributes & kHidden) + (st.wYear <= 1980 ? " old" : " new");
  };
  qbtest::MakeDirs(out + "docs");
  Recorded r;
  EXPECT_EQ(r.Run(t / "f.zip", "*.*", out, {F::RecurseFlag, F::OverWriteFlag}), 0);
  EXPECT_EQ(ReadFile(out + "docs\\a.txt") + ReadFile(out + "made\\x.txt"), "ax");
  // docs as it was, dated by its new file; made as its entry, 1 January 1980 (1979 in UTC east of it)
  EXPECT_EQ(info("docs") + ", " + info("made"), "0 new, 6 old");
}

TEST(UnzipRead, CancelStopsWith48AndMinorCancelSkipsWith49) {
  TempDir t;
  MakeTree(t.path());
  Sh(t / "src", "zip -q -r ../t.zip .");
  {
    Recorded r;
    int majors = 0;
    r.cancelMajor = [&](const std::string&) { return ++majors == 2; };
    EXPECT_EQ(r.Run(t / "t.zip", "*.*", t / "c1", {F::RecurseFlag, F::OverWriteFlag}, {S::USO_MINORCANCEL}),
              dz::UE_CANCEL);
    EXPECT_EQ(r.majors.size(), 2u);
    EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 0);
  }
  {
    // The minor answer counts only with USO_MINORCANCEL; then the item is skipped.
    Recorded r;
    r.cancelMinor = [](const std::string& item) { return item == "sub/deeper/c.txt"; };
    EXPECT_EQ(r.Run(t / "t.zip", "*.txt", t / "c2", {F::RecurseFlag}), 0);
    EXPECT_TRUE(qbtest::Exists(t / "c2\\sub\\deeper\\c.txt"));
    EXPECT_EQ(r.Run(t / "t.zip", "c.txt", t / "c3", {F::RecurseFlag}, {S::USO_MINORCANCEL}), dz::UE_SKIPPED);
    EXPECT_FALSE(qbtest::Exists(t / "c3\\sub\\deeper\\c.txt"));
  }
}

}  // namespace
