// The binding: the owned text buffer, the thunks, the records both components build,
// and the load failure path (with the box and the exit replaced).
#include <gtest/gtest.h>

#include <sstream>

#include "runner/zipfile.h"
#include "settings/unzipfile.h"
#include "support/testutil.h"
#include "toolkit/strings.h"

namespace {

using UF = dz::TUnzipFlag;
using US = dz::TUnzipSubOption;

TEST(TLPStr, FixedAndGrowableBuffers) {
  TLPStr fixed(10);
  fixed.SetText("12345678901234567890");
  EXPECT_STREQ(fixed.GetText(), "123456789");
  fixed.SetText(static_cast<const char*>(nullptr));
  ASSERT_NE(fixed.GetText(), nullptr);
  EXPECT_STREQ(fixed.GetText(), "");

  TLPStr grow;
  EXPECT_EQ(grow.GetText(), nullptr);
  grow.SetText("abc");
  EXPECT_STREQ(grow.GetText(), "abc");
  EXPECT_EQ(grow.Capacity(), 4);
  grow.SetText(static_cast<const char*>(nullptr));
  EXPECT_EQ(grow.GetText(), nullptr);

  grow.SetText("a longer text");
  grow.SetCapacity(5);  // fixed now, text cut to 4
  EXPECT_TRUE(grow.Fixed());
  EXPECT_STREQ(grow.GetText(), "a lo");
  grow.SetCapacity(0);
  EXPECT_FALSE(grow.Fixed());
  std::string copy = "x";
  EXPECT_EQ(grow.CopyTo(copy), "a lo");
}

TEST(TLPStr, StreamsAndPCharProperty) {
  TLPStr s(8);
  s.SetText("keep");
  std::istringstream tooLong("12345678");
  EXPECT_THROW(s.LoadFromStream(tooLong), std::runtime_error);
  EXPECT_STREQ(s.GetText(), "keep");
  std::istringstream ok("1234567");
  s.LoadFromStream(ok);
  EXPECT_STREQ(s.GetText(), "1234567");
  std::ostringstream out;
  s.SaveToStream(out);
  EXPECT_EQ(out.str(), "1234567");

  std::ostringstream prop;
  s.WritePChar(prop);
  EXPECT_EQ(prop.str(), std::string("\x0a\x08\x00\x00\x00" "1234567\0", 13));
  TLPStr back;
  std::istringstream in(prop.str());
  back.ReadPChar(in);
  EXPECT_STREQ(back.GetText(), "1234567");
  std::ostringstream none;
  TLPStr().WritePChar(none);
  EXPECT_TRUE(none.str().empty());
}

TEST(Thunks, CancelAndMessageResults) {
  TUnzipFile uz;
  EXPECT_EQ(MajorCallbackThunk("x", 5, &uz), 0);  // no handler
  uz.OnMajorCallback = [](const char*, int32_t, bool& cancel) { cancel = true; };
  uz.OnMinorCallback = [](const char*, int32_t p, bool& cancel) { cancel = p > 50; };
  EXPECT_EQ(MajorCallbackThunk("x", 5, &uz), -1);
  EXPECT_EQ(MinorCallbackThunk("x", 10, &uz), 0);
  EXPECT_EQ(MinorCallbackThunk("x", 90, &uz), -1);
  uint16_t seenId = 0;
  uz.OnMessageCallback = [&](uint16_t id, uint16_t, int32_t, int32_t, char*, char*, int32_t&) { seenId = id; };
  char b1[8] = "", b2[8] = "";
  EXPECT_EQ(MessageCallbackThunk(0x1000C, 0, 0, 0, b1, b2, &uz), 0);  // untouched RtnResult
  EXPECT_EQ(seenId, 12);                                               // low 16 bits
  uz.OnMessageCallback = [](uint16_t, uint16_t, int32_t, int32_t, char*, char*, int32_t& r) { r = 7; };
  EXPECT_EQ(MessageCallbackThunk(11, 0, 0, 0, b1, b2, &uz), 7);
}

TEST(TUnzipFile, RecordFromOptions) {
  TUnzipFile uz;
  uz.Options = TUnzipFlags(0x458);
  EXPECT_EQ(uz.Options, (TUnzipFlags{UF::QuietFlag, UF::TestFlag, UF::RecurseFlag, UF::DecryptFlag}));
  uz.wUnzipSubOptions = TUnzipSubOptions(0x202);
  uz.IndexofItem = -1;
  uz.lpszZipFile.SetText("Z:\\nonexistent\\none.zip");
  EXPECT_FALSE(uz.Execute(1));
  const dz::UnzipCmdRecord& r = uz.CommandRecord();
  EXPECT_EQ(r.recordSize, sizeof(dz::UnzipCmdRecord));
  EXPECT_EQ(r.functionCode, 1);
  EXPECT_EQ(r.QuietFlag, -1);
  EXPECT_EQ(r.TestFlag, -1);
  EXPECT_EQ(r.RecurseFlag, -1);
  EXPECT_EQ(r.DecryptFlag, -1);
  for (dz::DzBool b : {r.FreshenFlag, r.UpdateFlag, r.OverWriteFlag, r.NoDirectoryNamesFlag, r.NoDirectoryItemsFlag,
                       r.bDiagnostic, r.bLF2CRLFFlag})
    EXPECT_EQ(b, 0);
  EXPECT_EQ(r.wUnzipSubOptions, 0x2002);
  EXPECT_EQ(r.IndexofItem, -1);
  EXPECT_EQ(r.lpszFileSpec, nullptr);
  EXPECT_EQ(r.lpInfoBuffer->infoSize, dz::kUnzipInfoBufferSize);
  EXPECT_EQ(r.lpCallbackSubRecord->size, sizeof(dz::DzCallbackSubRecord));
  EXPECT_EQ(r.majorUserData, &uz);
  EXPECT_EQ(r.MinorCallback, &MinorCallbackThunk);
  EXPECT_EQ(uz.ResultCode(), dz::UE_NOTFOUND);
  // Code 0 calls nothing and keeps the previous result.
  EXPECT_FALSE(uz.Execute(0));
  EXPECT_EQ(uz.ResultCode(), dz::UE_NOTFOUND);
}

TEST(TUnzipFile, LongNameIsCutAndFailedCallKeepsTheCount) {
  qbtest::TempDir t;
  qbtest::WriteFile(t / "script.py", "import zipfile\nz=zipfile.ZipFile('l.zip','w')\nz.writestr('n'*300,b'x')\nz.close()\n");
  ASSERT_EQ(qbtest::RunUnix("cd '" + qbtest::ToUnixPath(t.path()) + "' && python3 script.py"), 0);
  TUnzipFile uz;
  uz.Options = {UF::QuietFlag};
  uz.lpszZipFile.SetText(t / "l.zip");
  ASSERT_TRUE(uz.Execute(1));
  EXPECT_EQ(uz.ItemCount, 1);
  ASSERT_TRUE(uz.Execute(2));
  EXPECT_EQ(std::string(uz.ItemRecord().name), std::string(259, 'n'));
  EXPECT_FALSE(uz.Execute(2));
  EXPECT_EQ(uz.ItemCount, 1);
  EXPECT_EQ(std::string(uz.ItemRecord().name), std::string(259, 'n'));
}

TEST(TZipFile, RecordFromOptions) {
  TZipFile z;
  EXPECT_EQ(z.CompFactor, 5);
  z.Options = {dz::TZipFlag::RecurseFlag, dz::TZipFlag::IncludeOnlyFollowingFlag};
  z.wMultiVolControl = TMultiVolFlags(129);
  z.wZipSubOptions = {dz::TZipSubOption::ZSO_MINORCANCEL, dz::TZipSubOption::ZSO_INHIBIT_PUMP};
  qbtest::TempDir t;
  z.lpszZipFile.SetText(t / "none.zip");
  z.lpszItemList.SetText(t / "nothing-here\\*.*");
  z.Execute(4);
  const dz::ZipCmdRecord& r = z.CommandRecord();
  EXPECT_EQ(r.recordSize, sizeof(dz::ZipCmdRecord));
  EXPECT_EQ(r.RecurseFlag, -1);
  EXPECT_EQ(r.IncludeOnlyFollowingFlag, -1);
  for (dz::DzBool b : {r.DosifyFlag, r.QuietFlag, r.PathForTempFlag, r.FixFlag, r.FixHarderFlag, r.IncludeVolumeFlag,
                       r.DeleteOriginalFlag, r.GrowExistingFlag, r.NoDirectoryNamesFlag, r.ConvertLFtoCRLFFlag,
                       r.AddCommentFlag, r.AfterDateFlag, r.OldAsLatestFlag, r.ExcludeFollowingFlag,
                       r.NoDirectoryEntriesFlag, r.IncludeSysHiddenFlag, r.DontCompressTheseSuffixesFlag,
                       r.bDiagnostic, r.EncryptFlag, r.LargeZIPFilesFlag})
    EXPECT_EQ(b, 0);
  EXPECT_EQ(r.wMultiVolControl, 0xC000);
  EXPECT_EQ(r.wZipSubOptions, 0x4002);
  EXPECT_EQ(r.lpszComment, nullptr);
  EXPECT_EQ(r.CompFactor, 5);
  const int previous = z.ResultCode();
  EXPECT_NE(previous, 0);
  EXPECT_FALSE(z.Execute(0));
  EXPECT_EQ(z.ResultCode(), previous);
}

// The failure path with the box and the exit replaced: nothing is shown, nothing ends.
std::vector<std::string> g_boxes;
std::vector<int> g_exits;

class LoadFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    g_exits.clear();
    TDynaZipFailureSeam seam;
    seam.ShowBox = [](const std::string& text, UINT) { g_boxes.push_back(text); };
    seam.EndProgram = [](int code) { g_exits.push_back(code); };
    SetDynaZipFailureSeam(seam);
  }
  void TearDown() override {
    SetDynaZipFailureSeam({});
    SetDynaZipLibraryFolder("");
  }
};

TEST_F(LoadFailure, MissingLibraryAndMissingEntry) {
  qbtest::TempDir empty;
  SetDynaZipLibraryFolder(empty.path());
  EXPECT_THROW(TUnzipFile(), EDynaZipLoadError);
  EXPECT_THROW(TZipFile(), EDynaZipLoadError);
  EXPECT_EQ(g_boxes, (std::vector<std::string>{"Could not load DUNZIP32.DLL!", "Could not load DZIP32.DLL!"}));
  EXPECT_EQ(g_exits, (std::vector<int>{1, 1}));

  // A library of the right name without the entry.
  qbtest::TempDir wrong;
  ASSERT_TRUE(CopyFileW(tk::Widen(qbtest::BinDir() + "dzip32.dll").c_str(),
                        tk::Widen(wrong / "DUNZIP32.DLL").c_str(), FALSE));
  SetDynaZipLibraryFolder(wrong.path());
  g_boxes.clear();
  EXPECT_THROW(TUnzipFile(), EDynaZipLoadError);
  EXPECT_EQ(g_boxes, std::vector<std::string>{"Could not load dunzip function!"});
}

TEST_F(LoadFailure, DirectAssignmentIsRefusedWithABox) {
  TUnzipFile uz;
  uz.lpszZipFile.SetText("kept.zip");
  uz.SetLPStr(uz.lpszZipFile, "other.zip");
  EXPECT_STREQ(uz.lpszZipFile.GetText(), "kept.zip");
  EXPECT_EQ(g_boxes, std::vector<std::string>{"Cannot Directly assign a value to type LPSTR.  Use SetText"});
}

// Two components side by side: freeing one leaves the other working.
TEST(TUnzipFile, InstancesAreIndependent) {
  qbtest::TempDir t;
  TUnzipFile keep;
  { TUnzipFile shortLived; }
  keep.lpszZipFile.SetText(t / "none.zip");
  EXPECT_FALSE(keep.Execute(1));
  EXPECT_EQ(keep.ResultCode(), dz::UE_NOTFOUND);
}

}  // namespace
