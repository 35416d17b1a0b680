// A bounded fuzz run: a few hundred mutations (fixed seed) of a few zips, each counted,
// tested and extracted. No call may crash or hang, nothing may land outside the
// destination, and whatever is extracted as good is one of the original contents. Two
// kinds of damage are aimed: any change to a checked header field of a folder entry fails
// the test, and a cut archive end (its last member a stored zip) fails test and extract.
#include <windows.h>

#include <atomic>
#include <set>
#include <thread>

#include "toolkit/strings.h"
#include "ziplib/unzip_testutil.h"
#include "ziplib/zipcraft.h"

using namespace unziptest;
using qbtest::ReadFile;
using qbtest::TempDir;
using qbtest::WriteFile;

namespace {

class Random {
 public:
  explicit Random(uint32_t seed) : s_(seed) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  size_t Below(size_t n) { return n ? Next() % n : 0; }

 private:
  uint32_t s_;
};

std::string Mutate(const std::string& good, Random& rnd) {
  std::string s = good;
  switch (rnd.Below(5)) {
    case 0:  // a few flipped bytes
      for (size_t n = 1 + rnd.Below(3); n > 0; --n) s[rnd.Below(s.size())] ^= char(1 + rnd.Below(255));
      break;
    case 1: {  // a field set to an extreme value
      static const uint32_t kValues[] = {0, 1, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
      const size_t at = rnd.Below(s.size() - 4);
      const uint32_t v = kValues[rnd.Below(6)];
      for (size_t k = 0; k < (rnd.Below(2) ? 2u : 4u); ++k) s[at + k] = char(v >> (8 * k));
      break;
    }
    case 2:  // cut short
      s.resize(rnd.Below(s.size()));
      break;
    case 3: {  // bytes put in
      std::string noise(1 + rnd.Below(40), '\0');
      for (char& c : noise) c = char(rnd.Next());
      s.insert(rnd.Below(s.size()), noise);
      break;
    }
    default: {  // one part copied over another
      const size_t len = 1 + rnd.Below(64), from = rnd.Below(s.size()), to = rnd.Below(s.size());
      s.replace(to, std::min(len, s.size() - to), s.substr(from, len));
      break;
    }
  }
  return s;
}

TEST(UnzipFuzz, MutatedZipsNeverCrashHangEscapeOrPassDamage) {
  TempDir t;
  std::set<std::string> originals{"", "alpha text alpha text alpha text", std::string(3000, 'z')};
  std::string bin;
  for (int i = 0; i < 2048; ++i) bin += char(i * 7 + (i >> 3));
  originals.insert(bin);
  // Seeds: one crafted stored zip, one whose last name ends in the bytes of a zip64 end
  // record and its locator, one deflated by zip -r, one zip64 deflated by Python.
  std::vector<std::string> seeds{zipcraft::Zip({{.name = "dir/"},
                                                {.name = "dir/a.txt", .data = "alpha text alpha text alpha text"},
                                                {.name = "b.bin", .data = bin},
                                                {.name = "empty.txt"}},
                                               "comment")
                                     .bytes};
  const std::vector<zipcraft::Item> magic{{.name = "dir/a.txt", .data = "alpha text alpha text alpha text"},
                                          {.name = "z64", .data = bin}};
  const zipcraft::Built plain = zipcraft::Zip64BytesInLastName(magic, 0, 0, 0);
  seeds.push_back(zipcraft::Zip64BytesInLastName(magic, 2, plain.cdSize, plain.cdOffset).bytes);
  qbtest::MakeDirs(t / "s\\d");
  WriteFile(t / "s\\d\\a.txt", "alpha text alpha text alpha text");
  WriteFile(t / "s\\b.bin", bin);
  WriteFile(t / "s\\z.txt", std::string(3000, 'z'));
  Sh(t.path(), "cd s && zip -qr9 ../deflated.zip . && cd .. && python3 -c \"import zipfile\n"
               "z = zipfile.ZipFile('z64.zip', 'w', zipfile.ZIP_DEFLATED)\n"
               "with z.open('z.txt', 'w', force_zip64=True) as f: f.write(b'z' * 3000)\n"
               "z.writestr('b.bin', open('s/b.bin', 'rb').read())\n"
               "z.close()\"");
  seeds.push_back(ReadFile(t / "deflated.zip"));
  seeds.push_back(ReadFile(t / "z64.zip"));
  // Folder entries by name and by folder bit, and last a stored zip before a comment.
  const std::string inner = zipcraft::Zip({{.name = "inner.txt", .data = "inside the member"}}).bytes;
  originals.insert({inner, "inside the member"});  // a plain cut may leave the member a zip of its own
  const std::vector<zipcraft::Item> folderItems{{.name = "top/", .externalAttr = FILE_ATTRIBUTE_DIRECTORY},
                                                {.name = "top/sub/", .externalAttr = FILE_ATTRIBUTE_DIRECTORY},
                                                {.name = "top/sub/a.txt", .data = "alpha text alpha text alpha text"},
                                                {.name = "flagged", .externalAttr = FILE_ATTRIBUTE_DIRECTORY},
                                                {.name = "inner.zip", .data = inner}};
  const zipcraft::Built folders = zipcraft::Zip(folderItems, "archive comment");
  seeds.push_back(folders.bytes);
  for (const std::string& s : seeds) ASSERT_GT(s.size(), 100u);

  // A call that takes longer than this counts as a hang: the run stops there.
  std::atomic<int> step{0};
  std::atomic<bool> finished{false};
  std::string current;
  std::thread watchdog([&] {
    int seen = -1;
    for (int idle = 0; !finished; Sleep(100)) {
      idle = step == seen ? idle + 1 : 0;
      seen = step;
      if (idle > 300) {
        ADD_FAILURE() << "hang on " << current;
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
      }
    }
  });

  Random rnd(20261209);
  const std::string zip = t / "m.zip", box = t / "box", dest = box + "\\dest";
  Recorded r;  // one loaded library for the whole run
  // Counts, tests and extracts one damaged zip; the results of test and extract.
  struct Results {
    int tested, extracted;
    bool wroteAny;
  };
  const auto attack = [&](const std::string& bad) {
    WriteFile(zip, bad);
    r.uz.Options = {F::QuietFlag};
    r.uz.lpszZipFile.SetText(zip);
    r.uz.lpszFileSpec.SetText("*.*");
    r.uz.Execute(3);
    ++step;
    Results res{r.Test(zip), 0, false};
    ++step;
    res.extracted = r.Extract(zip, dest);
    ++step;
    for (const std::string& n : qbtest::ListDir(box)) EXPECT_EQ(n, "dest") << current;
    res.wroteAny = !qbtest::ListDir(dest).empty();
    CheckTree(dest, originals, current);
    qbtest::RemoveTree(box);
    for (const std::string& n : qbtest::ListDir(t.path()))
      EXPECT_TRUE(n == "s" || n == "m.zip" || n == "deflated.zip" || n == "z64.zip") << current << ": " << n;
    return res;
  };
  int passedTests = 0;
  for (int i = 0; i < 300; ++i) {
    const size_t which = size_t(i) % seeds.size();
    current = "mutation " + std::to_string(i) + " of seed " + std::to_string(which);
    if (attack(Mutate(seeds[which], rnd)).tested == 0) ++passedTests;
  }

  // A folder entry's checked fields: local signature, flags, method, CRC and sizes; central
  // method, CRC, sizes and offset. Any other value fails the test.
  struct Field {
    size_t at, width;
  };
  static const Field kLocal[] = {{0, 4}, {6, 2}, {8, 2}, {14, 4}, {18, 4}, {22, 4}};
  static const Field kCentral[] = {{10, 2}, {16, 4}, {20, 4}, {24, 4}, {42, 4}};
  std::vector<size_t> centralAt{folders.cdOffset};
  for (const zipcraft::Item& it : folderItems) centralAt.push_back(centralAt.back() + 46 + it.name.size());
  for (int i = 0; i < 60; ++i) {
    const size_t entry = std::vector<size_t>{0, 1, 3}[rnd.Below(3)];
    const bool inLocal = rnd.Below(2) == 0;
    const Field f = inLocal ? kLocal[rnd.Below(6)] : kCentral[rnd.Below(5)];
    const size_t at = (inLocal ? folders.offsets[entry] : centralAt[entry]) + f.at;
    std::string bad = folders.bytes;
    const uint32_t change = 1 + uint32_t(rnd.Below(f.width == 2 ? 0xFFFF : 0xFFFFFFFE));  // never 0: the field changes
    for (size_t k = 0; k < f.width; ++k) bad[at + k] = char(uint8_t(bad[at + k]) ^ uint8_t(change >> (8 * k)));
    current = "folder entry " + std::to_string(entry) + (inLocal ? " local" : " central") + " field at " +
              std::to_string(f.at);
    EXPECT_NE(attack(bad).tested, 0) << current;
  }

  // The archive cut anywhere after its directory begins: the stored zip's end record is
  // then the last whole one, and neither test nor extract may take it for the archive's.
  for (int i = 0; i < 30; ++i) {
    const size_t keep = folders.cdOffset + 1 + rnd.Below(folders.bytes.size() - folders.cdOffset - 1);
    current = "cut to " + std::to_string(keep) + " bytes";
    const Results res = attack(folders.bytes.substr(0, keep));
    EXPECT_NE(res.tested, 0) << current;
    EXPECT_NE(res.extracted, 0) << current;
    EXPECT_FALSE(res.wroteAny) << current;
  }
  finished = true;
  watchdog.join();
  // Some mutations touch only what a test need not mind (a comment, a time).
  EXPECT_GT(passedTests, 0);
}

}  // namespace
