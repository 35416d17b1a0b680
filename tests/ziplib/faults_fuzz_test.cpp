// A bounded fuzz run: a few hundred mutations (fixed seed) of a few zips, each counted,
// tested and extracted. No call may crash or hang, nothing may land outside the
// destination, and whatever is extracted as good is one of the original contents.
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
  // Seeds: one crafted stored zip, one deflated by zip -r, one zip64 deflated by Python.
  std::vector<std::string> seeds{zipcraft::Zip({{.name = "dir/"},
                                                {.name = "dir/a.txt", .data = "alpha text alpha text alpha text"},
                                                {.name = "b.bin", .data = bin},
                                                {.name = "empty.txt"}},
                                               "comment")
                                     .bytes};
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
  int passedTests = 0;
  Recorded r;  // one loaded library for the whole run
  for (int i = 0; i < 300; ++i) {
    const size_t which = size_t(i) % seeds.size();
    const std::string bad = Mutate(seeds[which], rnd);
    current = "mutation " + std::to_string(i) + " of seed " + std::to_string(which);
    WriteFile(zip, bad);
    r.uz.Options = {F::QuietFlag};
    r.uz.lpszZipFile.SetText(zip);
    r.uz.lpszFileSpec.SetText("*.*");
    r.uz.Execute(3);
    ++step;
    if (r.Test(zip) == 0) ++passedTests;
    ++step;
    r.Extract(zip, dest);
    ++step;
    for (const std::string& n : qbtest::ListDir(box)) EXPECT_EQ(n, "dest") << current;
    CheckTree(dest, originals, current);
    qbtest::RemoveTree(box);
    for (const std::string& n : qbtest::ListDir(t.path()))
      EXPECT_TRUE(n == "s" || n == "m.zip" || n == "deflated.zip" || n == "z64.zip")
          << current << ": " << n;
  }
  finished = true;
  watchdog.join();
  // Some mutations touch only what a test need not mind (a comment, a time).
  EXPECT_GT(passedTests, 0);
}

}  // namespace
