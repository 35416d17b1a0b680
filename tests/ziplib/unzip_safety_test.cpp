// Hostile and damaged zips: names that climb out of the destination, truncations, flipped
// bytes, lying sizes, offsets and counts. Every one gives a result code, never a crash,
// a hang or a file outside the destination.
#include <windows.h>

#include <set>

#include "toolkit/strings.h"
#include "ziplib/unzip_testutil.h"

using namespace unziptest;
using qbtest::ReadFile;
using qbtest::TempDir;
using qbtest::WriteFile;

namespace {

TEST(UnzipSafety, NamesThatLeaveTheDestinationAreRefusedAndTheRestGoesOn) {
  TempDir t;
  Python(t.path(), R"(import zipfile
z = zipfile.ZipFile('h.zip', 'w')
def put(name, data):
    i = zipfile.ZipInfo('x')
    i.filename = name          # as given: zipfile would clean the name otherwise
    z.writestr(i, data)
for n in ['../evil1.txt', 'sub/../../evil2.txt', '/evil3.txt', 'C:/evil4.txt', 'C:evil5.txt',
          '..\\evil6.txt', 'sub\\..\\..\\evil7.txt', '.. /evil8.txt', 'con.txt', 'ads.txt:stream']:
    put(n, b'bad')
put('good/ok.txt', b'fine')
put('./also ok.txt', b'fine too')
z.close()
)");
  const std::string dest = t / "box\\dest\\";
  Recorded r;
  EXPECT_EQ(r.Extract(t / "h.zip", dest), dz::UE_CREATE);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 10);
  EXPECT_EQ(ReadFile(dest + "good\\ok.txt"), "fine");
  EXPECT_EQ(ReadFile(dest + "also ok.txt"), "fine too");
  // Nothing landed beside, above or at the root.
  std::vector<std::string> box = qbtest::ListDir(t / "box");
  EXPECT_EQ(box, std::vector<std::string>{"dest"});
  for (const std::string& n : qbtest::ListDir(t.path())) EXPECT_EQ(n.find("evil"), std::string::npos) << n;
  for (int i = 1; i <= 8; ++i) {
    EXPECT_FALSE(qbtest::Exists("C:\\evil" + std::to_string(i) + ".txt"));
    EXPECT_FALSE(qbtest::Exists(dest + "evil" + std::to_string(i) + ".txt"));
  }
  std::vector<std::string> inDest = qbtest::ListDir(dest);
  EXPECT_EQ(inDest, (std::vector<std::string>{"also ok.txt", "good"}));
}

TEST(UnzipSafety, DataLongerOrShorterThanStatedIsAnError) {
  TempDir t;
  // A member that inflates to far more than its stated size (a bomb that lies), and one
  // that states a huge size for a few bytes.
  Python(t.path(), R"(import zipfile, struct
z = zipfile.ZipFile('b.zip', 'w', zipfile.ZIP_DEFLATED)
z.writestr('bomb.bin', b'\0' * 5000000)
z.writestr('tiny.bin', b'xyz')
z.close()
d = bytearray(open('b.zip', 'rb').read())
def patch(name, size):
    n = name.encode()
    i = d.index(b'PK\x03\x04' + d[4:4])   # first local header
    for sig, off in ((b'PK\x03\x04', 22), (b'PK\x01\x02', 24)):
        p = 0
        while True:
            p = d.find(sig, p)
            if p < 0: break
            nameoff = 30 if sig == b'PK\x03\x04' else 46
            if d[p + nameoff:p + nameoff + len(n)] == n:
                d[p + off:p + off + 4] = struct.pack('<I', size)
            p += 4
patch('bomb.bin', 10)
patch('tiny.bin', 0xFFFFFFF0)
open('b.zip', 'wb').write(bytes(d))
)");
  Recorded r;
  EXPECT_EQ(r.Test(t / "b.zip"), dz::UE_CRC);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 2);
  EXPECT_EQ(r.Extract(t / "b.zip", t / "out"), dz::UE_CRC);
  EXPECT_TRUE(qbtest::ListDir(t / "out").empty());
}

// The damaged corpus: a good zip of several kinds of entries, then every kind of damage.
class DamagedCorpus : public ::testing::Test {
 protected:
  void SetUp() override {
    Python(t_.path(), R"(import zipfile
z = zipfile.ZipFile('good.zip', 'w')
z.writestr(zipfile.ZipInfo('dir/'), b'')
z.writestr('dir/deflated.txt', b'hello deflate ' * 300, zipfile.ZIP_DEFLATED)
z.writestr('stored.bin', bytes(range(256)) * 4, zipfile.ZIP_STORED)
z.writestr('empty.txt', b'', zipfile.ZIP_DEFLATED)
z.comment = b'archive comment'
z.close()
z = zipfile.ZipFile('good64.zip', 'w')
with z.open('big.txt', 'w', force_zip64=True) as f: f.write(b'zip64 entry ' * 200)
z.close()
)");
    originals_ = {std::string(), ReadFileOf("hello deflate ", 300), AllBytes(), std::string()};
    originals64_ = {ReadFileOf("zip64 entry ", 200)};
  }
  static std::string ReadFileOf(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
  }
  static std::string AllBytes() {
    std::string r;
    for (int k = 0; k < 4; ++k)
      for (int i = 0; i < 256; ++i) r += char(i);
    return r;
  }

  // Runs list, count, test and extract on a damaged zip. A call may fail, but when the
  // test or the extraction reports success, everything extracted is one of the originals.
  // Every zip of a case goes through one loaded library, as a runner's calls share it
  // (loading it again for each zip took most of the time).
  void Attack(const std::string& bytes, const std::set<std::string>& originals, const std::string& what) {
    const std::string zip = t_ / "d.zip";
    WriteFile(zip, bytes);
    Recorded& r = library_;
    r.List(zip);
    r.uz.lpszFileSpec.SetText("*.*");
    r.uz.Execute(3);
    const int tested = r.Test(zip);
    TempDir out;
    const int extracted = r.Extract(zip, out / "x\\");
    if (tested == 0 || extracted == 0) ++successes_;
    if (extracted == 0) CheckTree(out / "x", originals, what);
    ++cases_;
  }
  void CutEverywhere(const char* name);
  void FlipEverywhere(const char* name, unsigned char mask);
  const std::set<std::string>& OriginalsOf(const char* name) const {
    return std::string(name) == "good.zip" ? originals_ : originals64_;
  }
  TempDir t_;
  Recorded library_;
  std::set<std::string> originals_, originals64_;
  int cases_ = 0, successes_ = 0;
};

// Cut at every point (every seventh byte until the last forty), and every third byte
// flipped in its lowest bit and in all bits: one case per zip and damage, so that the
// long loops run side by side.
void DamagedCorpus::CutEverywhere(const char* name) {
  const std::string good = ReadFile(t_ / name);
  for (size_t len = 0; len < good.size(); len += (len + 40 < good.size() ? 7 : 1))
    Attack(good.substr(0, len), OriginalsOf(name), std::string(name) + " cut at " + std::to_string(len));
  // A cut zip has no end record at its end: none may pass as good.
  EXPECT_EQ(successes_, 0);
  EXPECT_GT(cases_, 100);
}
void DamagedCorpus::FlipEverywhere(const char* name, unsigned char mask) {
  const std::string good = ReadFile(t_ / name);
  for (size_t i = 0; i < good.size(); i += 3) {
    std::string bad = good;
    bad[i] = char(bad[i] ^ mask);
    Attack(bad, OriginalsOf(name), std::string(name) + " flip " + std::to_string(i));
  }
  EXPECT_GT(cases_, 250);
}

TEST_F(DamagedCorpus, TruncatedClassicZip) { CutEverywhere("good.zip"); }
TEST_F(DamagedCorpus, TruncatedZip64) { CutEverywhere("good64.zip"); }
TEST_F(DamagedCorpus, LowBitFlippedInTheClassicZip) { FlipEverywhere("good.zip", 0x01); }
TEST_F(DamagedCorpus, AllBitsFlippedInTheClassicZip) { FlipEverywhere("good.zip", 0xFF); }
TEST_F(DamagedCorpus, LowBitFlippedInTheZip64) { FlipEverywhere("good64.zip", 0x01); }
TEST_F(DamagedCorpus, AllBitsFlippedInTheZip64) { FlipEverywhere("good64.zip", 0xFF); }

TEST_F(DamagedCorpus, BogusSizesOffsetsAndCounts) {
  const std::string good = ReadFile(t_ / "good.zip");
  auto put32 = [](std::string& s, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + k] = char(v >> (8 * k));
  };
  auto put16 = [](std::string& s, size_t at, uint16_t v) {
    s[at] = char(v);
    s[at + 1] = char(v >> 8);
  };
  const size_t end = good.rfind("PK\x05\x06");
  ASSERT_NE(end, std::string::npos);
  std::vector<size_t> centrals;
  for (size_t p = good.find("PK\x01\x02"); p != std::string::npos; p = good.find("PK\x01\x02", p + 4))
    centrals.push_back(p);
  ASSERT_EQ(centrals.size(), 4u);
  const uint32_t values[] = {0, 1, 0x7FFFFFFF, 0xFFFFFFFE, 0xFFFFFFFF, uint32_t(good.size()), uint32_t(end)};
  for (uint32_t v : values) {
    for (size_t field : {size_t(8), size_t(10), size_t(12), size_t(16), size_t(20)}) {  // counts, size, offset, comment
      std::string bad = good;
      if (field <= 10)
        put16(bad, end + field, uint16_t(v));
      else if (field == 20)
        put16(bad, end + 20, uint16_t(v));
      else
        put32(bad, end + field, v);
      Attack(bad, originals_, "end record field " + std::to_string(field));
    }
    for (size_t c : centrals) {
      for (size_t field : {size_t(20), size_t(24), size_t(42)}) {  // compressed, uncompressed, offset
        std::string bad = good;
        put32(bad, c + field, v);
        Attack(bad, originals_, "central field " + std::to_string(field));
      }
      for (size_t field : {size_t(28), size_t(30), size_t(32)}) {  // name, extra, comment lengths
        std::string bad = good;
        put16(bad, c + field, uint16_t(v));
        Attack(bad, originals_, "central length " + std::to_string(field));
      }
    }
  }
  // A zip64 end record claiming an absurd directory.
  std::string z64 = ReadFile(t_ / "good64.zip");
  const size_t loc = z64.rfind("PK\x06\x07");
  if (loc != std::string::npos) {
    for (uint32_t v : values) {
      std::string bad = z64;
      put32(bad, loc + 8, v);  // offset of the zip64 end record
      Attack(bad, originals64_, "zip64 locator");
    }
  }
  EXPECT_GT(cases_, 200);
}

}  // namespace
