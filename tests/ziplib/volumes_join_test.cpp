// Joining split archives made by an outside tool back into one zip, through the binding.
#include <windows.h>

#include "toolkit/strings.h"
#include "ziplib/unzip_testutil.h"

using namespace unziptest;
using qbtest::TempDir;

namespace {

// Incompressible data so that the split really has several volumes.
void MakeSplit(const TempDir& dir) {
  Python(dir.path(),
         "import os, random\n"
         "random.seed(7)\n"
         "os.makedirs('src/sub', exist_ok=True)\n"
         "open('src/a.bin','wb').write(bytes(random.getrandbits(8) for _ in range(150000)))\n"
         "open('src/sub/b.txt','w').write('line of text\\n' * 20000)\n"
         "open('src/c.bin','wb').write(bytes(random.getrandbits(8) for _ in range(70000)))\n");
  Sh(dir.path(), "zip -q -r -s 64k vol.zip src");
}

int Join(Recorded& rec, const std::string& last, const std::string& dest) {
  return rec.Run(last, "*.*", dest, {F::RecurseFlag}, {S::USO_MINORCANCEL, S::USO_MVFROMHD});
}

}  // namespace

TEST(VolumesJoin, VolumesOfAnOutsideSplitBecomeOneGoodZip) {
  TempDir dir;
  MakeSplit(dir);
  ASSERT_TRUE(qbtest::Exists(dir / "vol.z01"));
  ASSERT_TRUE(qbtest::Exists(dir / "vol.z03"));
  qbtest::MakeDirs(dir / "out");
  Recorded rec;
  ASSERT_EQ(Join(rec, dir / "vol.zip", dir / "out\\"), 0);
  EXPECT_EQ(qbtest::ListDir(dir / "out"), std::vector<std::string>{"vol.zip"});  // no temporary left
  Sh(dir.path(), "unzip -tq out/vol.zip && 7z t out/vol.zip >/dev/null");
  Sh(dir.path(), "mkdir x && cd x && unzip -q ../out/vol.zip && cmp src/a.bin ../src/a.bin && "
                 "cmp src/sub/b.txt ../src/sub/b.txt && cmp src/c.bin ../src/c.bin");
  // Our own reader takes the joined zip as a plain one.
  EXPECT_EQ(rec.Test(dir / "out\\vol.zip"), 0);
}

TEST(VolumesJoin, MissingVolumeAndSameVolumeAreRefusedAndLeaveNothing) {
  TempDir dir;
  MakeSplit(dir);
  qbtest::MakeDirs(dir / "out");
  {
    Recorded rec;  // joining onto the last volume itself
    EXPECT_EQ(Join(rec, dir / "vol.zip", dir.path()), dz::UE_SAMEVOL);
  }
  Sh(dir.path(), "cmp vol.zip vol.zip");  // still there
  ASSERT_TRUE(DeleteFileW(tk::Widen(dir / "vol.z02").c_str()));
  Recorded rec;
  EXPECT_EQ(Join(rec, dir / "vol.zip", dir / "out"), dz::UE_NOTFOUND);
  bool named = false;
  for (const Message& m : rec.messages) named |= m.text.find("vol.z02") != std::string::npos;
  EXPECT_TRUE(named) << "the error names the missing volume";
  EXPECT_TRUE(qbtest::ListDir(dir / "out").empty());
}

// A join has no overwrite switch: a file of the joined zip's name stops it before it writes anything.
TEST(VolumesJoin, AFileOfTheJoinedNameIsNeverReplaced) {
  TempDir dir;
  MakeSplit(dir);
  qbtest::MakeDirs(dir / "out");
  qbtest::WriteFile(dir / "out\\vol.zip", "the user's own");
  Recorded rec;
  EXPECT_EQ(Join(rec, dir / "vol.zip", dir / "out"), dz::UE_CREATE);
  ASSERT_EQ(rec.Count(dz::DZ_MSG_ERROR), 1);
  EXPECT_EQ(rec.messages.back().text,
            "Not joined: \"" + dir / "out\\vol.zip" + "\" exists already, and a join replaces no file");
  EXPECT_EQ(qbtest::ListDir(dir / "out"), std::vector<std::string>{"vol.zip"});
  EXPECT_EQ(qbtest::ReadFile(dir / "out\\vol.zip"), "the user's own");
}

TEST(VolumesJoin, CancelLeavesNoOutput) {
  TempDir dir;
  MakeSplit(dir);
  qbtest::MakeDirs(dir / "out");
  Recorded rec;
  rec.cancelMajor = [](const std::string&) { return true; };
  EXPECT_EQ(Join(rec, dir / "vol.zip", dir / "out"), dz::UE_CANCEL);
  EXPECT_TRUE(qbtest::ListDir(dir / "out").empty());
}

TEST(VolumesJoin, Zip64FormSplitIsJoined) {
  TempDir dir;
  Python(dir.path(),
         "import os, random\n"
         "random.seed(3)\n"
         "open('a.bin','wb').write(bytes(random.getrandbits(8) for _ in range(200000)))\n");
  Sh(dir.path(), "zip -q -fz -s 64k z64.zip a.bin && test -f z64.z03");
  qbtest::MakeDirs(dir / "out");
  Recorded rec;
  ASSERT_EQ(Join(rec, dir / "z64.zip", dir / "out"), 0);
  Sh(dir.path(), "unzip -tq out/z64.zip && 7z t out/z64.zip >/dev/null && unzip -p out/z64.zip a.bin | cmp - a.bin");
}
