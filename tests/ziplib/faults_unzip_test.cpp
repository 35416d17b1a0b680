// Zips crafted to break the extraction side: names deeper than a path can be, entries
// sharing their data, local headers that contradict the directory, sizes of 2^64-1, a zip
// hidden in the archive comment, end records that disagree, Unix modes against DOS bits, a
// stored zip member whose archive end is cut, names Windows reads as one file, damaged
// folder entries, a NUL in a name and superscript port numbers.
// Where unzip or 7z judge the same zip the same way, the test asks them too.
#include <windows.h>

#include <cstdio>
#include <functional>

#include "toolkit/strings.h"
#include "ziplib/unzip_testutil.h"
#include "ziplib/zipcraft.h"

using namespace unziptest;
using qbtest::ReadFile;
using qbtest::TempDir;
using qbtest::WriteFile;
using zipcraft::Item;

namespace {

std::string Repeat(const std::string& s, size_t n) {
  std::string r;
  r.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) r += s;
  return r;
}

// unzip -t (or 7z t) on the Linux side: true when it passes the zip.
bool OutsidePasses(const std::string& tool, const std::string& zip) {
  return qbtest::RunUnix(tool + " '" + qbtest::ToUnixPath(zip) + "' >/dev/null 2>&1") == 0;
}

// Runs fn on a worker thread and waits for it at most ms. A call that overstays cannot be
// stopped from outside: the failure is reported and the test program ends.
int Bounded(const std::function<int()>& fn, unsigned ms) {
  struct Job {
    std::function<int()> fn;
    int rc = -1;
  } job{fn};
  HANDLE t = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* j = static_cast<Job*>(p);
        j->rc = j->fn();
        return 0;
      },
      &job, 0, nullptr);
  if (!t) return -1;
  const DWORD w = WaitForSingleObject(t, ms);
  CloseHandle(t);
  if (w != WAIT_OBJECT_0) {
    ADD_FAILURE() << "still running after " << ms << " ms";
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
  }
  return job.rc;
}

bool AnyMessageHas(const Recorded& r, const std::string& a, const std::string& b) {
  for (const Message& m : r.messages)
    if (m.text.find(a) != std::string::npos && m.text.find(b) != std::string::npos) return true;
  return false;
}

TEST(UnzipFaults, NamesDeeperThanAPathAreRefusedAndDeepOnesAreMade) {
  TempDir t;
  const std::string tooDeep = Repeat("a/", 20000) + "f.txt";
  const std::string tooLong = Repeat("ab/", 21845);  // 65,535 bytes
  const std::string deep = Repeat("d/", 600);
  zipcraft::Built z = zipcraft::Zip({{.name = tooDeep, .data = "too deep"},
                                     {.name = tooLong, .data = ""},
                                     {.name = deep + "f.txt", .data = "deep one"},
                                     {.name = deep + "g.txt", .data = "deep two"},
                                     {.name = "ok.txt", .data = "fine"}});
  WriteFile(t / "deep.zip", z.bytes);
  Recorded r;
  EXPECT_EQ(r.Test(t / "deep.zip"), 0);
  const std::string dest = t / "out";
  EXPECT_EQ(r.Extract(t / "deep.zip", dest), dz::UE_CREATE);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 2);
  EXPECT_TRUE(AnyMessageHas(r, "a/a/a/a/a/", "refused, the name is longer or deeper"));
  EXPECT_TRUE(AnyMessageHas(r, "ab/ab/ab/", "refused"));
  EXPECT_EQ(ReadFile(dest + "\\ok.txt"), "fine");
  std::string found;
  ASSERT_EQ(qbtest::RunUnix("cd '" + qbtest::ToUnixPath(dest) + "' && find . -name '?.txt' | xargs cat", &found), 0);
  EXPECT_NE(found.find("deep one"), std::string::npos);
  EXPECT_NE(found.find("deep two"), std::string::npos);
  // Too deep for a recursive clean-up: the Linux side removes it.
  qbtest::RunUnix("rm -rf '" + qbtest::ToUnixPath(dest) + "'");
}

// Items 1,500 folders deep are made in time (each level costs the same), once into an empty
// folder and once more over themselves; no passing folder name is left behind, a folder
// entry that deep gets its time, and a name part ending in a dot loses it as a whole
// path would.
TEST(UnzipDeep, ItemsFifteenHundredLevelsDeepAreMadeInTimeAndOverThemselves) {
  TempDir t;
  const std::string deep = Repeat("d/", 1500), half = Repeat("d/", 750);
  Item folder{.name = half + "e/", .externalAttr = FILE_ATTRIBUTE_DIRECTORY};
  WriteFile(t / "deep.zip", zipcraft::Zip({{.name = deep + "f.txt", .data = "deep one"},
                                           {.name = deep + "g.txt", .data = "deep two"},
                                           folder,
                                           {.name = half + "e/h.txt", .data = "branch"},
                                           {.name = "t./u.txt", .data = "dotted"}})
                                .bytes);
  const std::string dest = t / "out", unixDest = qbtest::ToUnixPath(dest);
  // Folders of the passing names' pattern, empty or not, are not this run's: they stay.
  qbtest::MakeDirs(dest + "\\qbd00c0ffee.tmp");
  qbtest::MakeDirs(dest + "\\qbd00000bad.tmp");
  WriteFile(dest + "\\qbd00000bad.tmp\\keep.txt", "someone's");
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass ? "over the tree made before" : "into an empty folder");
    Recorded r;
    EXPECT_EQ(Bounded([&] { return r.Extract(t / "deep.zip", dest); }, 30000), 0);
    EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 0);
    std::string found;
    const std::string chain = Repeat("d/", 1500);
    ASSERT_EQ(qbtest::RunUnix("cd '" + unixDest + "' && cat " + chain + "f.txt " + chain + "g.txt " +
                                  Repeat("d/", 750) + "e/h.txt t/u.txt && find . -type d | wc -l && "
                                  "find . -name 'qbd*' | sort && date -u -r " + Repeat("d/", 750) + "e +%Y",
                              &found),
              0)
        << found;
    // The four contents; the folders: the top, 1,500 levels, e, t and the two kept; they
    // alone by a passing name; the folder entry's time of 1 January 1980 (a day earlier in
    // UTC east of it) on the folder the first pass made; the second pass leaves it its own.
    const std::string expected = "deep onedeep twobranchdotted1505\n./qbd00000bad.tmp\n./qbd00c0ffee.tmp\n";
    const std::string year = found.substr(std::min(found.size(), expected.size()));
    EXPECT_TRUE(found.rfind(expected, 0) == 0 && (pass ? year >= "2000" : year == "1980\n" || year == "1979\n"))
        << found;
  }
  // Too deep for a recursive clean-up: the Linux side removes it.
  qbtest::RunUnix("rm -rf '" + unixDest + "'");
}

TEST(UnzipFaults, EntriesSharingTheirDataAreRefusedInTestExtractAndJoin) {
  TempDir t;
  // 300 central entries naming one local entry of 1 MiB of zeros.
  Item one{.name = "zeros.bin", .data = std::string(1 << 20, '\0')};
  zipcraft::Fill(one);
  std::string bytes = zipcraft::LocalHeader(one) + one.data;
  const uint64_t cd = bytes.size();
  for (int i = 0; i < 300; ++i) {
    Item copy = one;
    copy.name = "zeros" + std::to_string(i) + ".bin";
    bytes += zipcraft::CentralHeader(copy, 0);
  }
  bytes += zipcraft::EndRecord(300, bytes.size() - cd, cd);
  WriteFile(t / "bomb.zip", bytes);
  // An entry whose data run over the next entry's header.
  Item a{.name = "a.txt", .data = "aaaa"}, b{.name = "b.txt", .data = "bbbb"};
  zipcraft::Built ab = zipcraft::Zip({a, b});
  zipcraft::Set32(ab.bytes, ab.cdOffset + 20, 20);  // a's compressed size reaches into b
  zipcraft::Set32(ab.bytes, ab.cdOffset + 24, 20);
  WriteFile(t / "nested.zip", ab.bytes);

  for (const char* name : {"bomb.zip", "nested.zip"}) {
    SCOPED_TRACE(name);
    Recorded r;
    EXPECT_EQ(r.Test(t / name), dz::UE_STRUCT);
    EXPECT_TRUE(AnyMessageHas(r, ".", "overlap"));
    EXPECT_EQ(r.Extract(t / name, t / "out"), dz::UE_STRUCT);
  }
  EXPECT_FALSE(OutsidePasses("unzip -tq", t / "bomb.zip"));
  EXPECT_TRUE(qbtest::ListDir(t / "out").empty() ||
              qbtest::ListDir(t / "out") == std::vector<std::string>{"b.txt"});
  EXPECT_FALSE(OutsidePasses("7z t", t / "bomb.zip"));

  // The same bomb as a set of one volume: the join refuses it.
  std::string set = "PK\x07\x08" + bytes;
  for (size_t p = set.find("PK\x01\x02"); p != std::string::npos; p = set.find("PK\x01\x02", p + 4))
    zipcraft::Set32(set, p + 42, 4);
  zipcraft::Set32(set, set.size() - 6, uint32_t(cd + 4));
  qbtest::MakeDirs(t / "set");
  qbtest::MakeDirs(t / "joined");
  WriteFile(t / "set\\bomb.zip", set);
  Recorded j;
  EXPECT_EQ(j.Run(t / "set\\bomb.zip", "*.*", t / "joined", {F::RecurseFlag}, {S::USO_MVFROMHD}), dz::UE_STRUCT);
  EXPECT_FALSE(qbtest::Exists(t / "joined\\bomb.zip"));
}

TEST(UnzipFaults, TestReportsEveryLocalHeaderThatContradictsTheDirectory) {
  TempDir t;
  std::vector<Item> items;
  for (const char* n : {"name.txt", "method.txt", "crc.txt", "size.txt", "flags.txt", "good.txt"}) {
    Item it{.name = n, .data = std::string("content of ") + n};
    zipcraft::Fill(it);
    items.push_back(it);
  }
  // A deflate stream (one stored block) ending before its stated size: bytes no item owns.
  const std::string stream = std::string("\x01\x05\x00\xFA\xFF" "early" "leftover", 18);
  items.push_back({.name = "early.txt", .data = stream, .method = 8, .crc = zipcraft::Crc32("early"),
                   .compSize = stream.size(), .size = 5, .filled = true});
  std::vector<std::string> locals;
  for (Item it : items) {
    if (it.name == "name.txt") it.name = "nane.txt";
    if (it.name == "method.txt") it.method = 99;
    if (it.name == "crc.txt") it.crc ^= 4;
    if (it.name == "size.txt") it.size += 1;
    if (it.name == "flags.txt") it.flags = 0x0800;
    locals.push_back(zipcraft::LocalHeader(it));
  }
  WriteFile(t / "m.zip", zipcraft::Zip(items, "", locals).bytes);
  Recorded r;
  EXPECT_EQ(r.Test(t / "m.zip"), dz::UE_STRUCT);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 6);
  EXPECT_TRUE(AnyMessageHas(r, "early.txt: the compressed data end 8 bytes before their stated size", ""));
  EXPECT_TRUE(AnyMessageHas(r, "name.txt", "in the name"));
  EXPECT_TRUE(AnyMessageHas(r, "method.txt", "in the compression method"));
  EXPECT_TRUE(AnyMessageHas(r, "crc.txt", "in the CRC"));
  EXPECT_TRUE(AnyMessageHas(r, "size.txt", "in the size"));
  EXPECT_TRUE(AnyMessageHas(r, "flags.txt", "in the flags"));
  EXPECT_FALSE(AnyMessageHas(r, "good.txt", ""));
  EXPECT_FALSE(OutsidePasses("unzip -tq", t / "m.zip"));
  // Extraction still recovers the data as the directory describes them, and says so for each.
  Recorded x;
  EXPECT_EQ(x.Extract(t / "m.zip", t / "out"), 0);
  for (const Item& it : items) EXPECT_EQ(ReadFile(t / ("out\\" + it.name)), it.method ? "early" : it.data) << it.name;
  EXPECT_EQ(x.Count(dz::DZ_MSG_WARNING), 6);
  EXPECT_TRUE(AnyMessageHas(x, "size.txt: the local header differs", "extracted as the central directory describes it"));
}

TEST(UnzipFaults, ASizeOf2To64Minus1IsAnErrorNotACrash) {
  TempDir t;
  Item big{.name = "big.bin", .data = "12345"};
  zipcraft::Fill(big);
  big.compSize = ~uint64_t(0);
  zipcraft::Put16(big.centralExtra, 1);
  zipcraft::Put16(big.centralExtra, 8);
  zipcraft::Put64(big.centralExtra, ~uint64_t(0));
  // Alone, its size plus one is the whole progress total: that sum must not wrap to 0.
  WriteFile(t / "z64.zip", zipcraft::Zip({big}).bytes);
  Recorded r;
  EXPECT_EQ(r.Test(t / "z64.zip"), dz::UE_EOF);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 1);
  EXPECT_EQ(r.Extract(t / "z64.zip", t / "out"), dz::UE_EOF);
  EXPECT_TRUE(qbtest::ListDir(t / "out").empty());
  EXPECT_FALSE(OutsidePasses("unzip -tq", t / "z64.zip"));
}

TEST(UnzipFaults, AZipHiddenInTheCommentIsNotTheArchive) {
  TempDir t;
  const std::string inner = zipcraft::Zip({{.name = "inner.txt", .data = "hidden"}}).bytes;
  WriteFile(t / "outer.zip", zipcraft::Zip({{.name = "real.txt", .data = "real"}}, inner).bytes);
  Recorded r;
  EXPECT_EQ(r.List(t / "outer.zip"), std::vector<std::string>{"real.txt"});
  EXPECT_EQ(r.Test(t / "outer.zip"), 0);
  EXPECT_EQ(r.Extract(t / "outer.zip", t / "out"), 0);
  EXPECT_EQ(qbtest::ListDir(t / "out"), std::vector<std::string>{"real.txt"});
  std::string listing;
  qbtest::RunUnix("7z l '" + qbtest::ToUnixPath(t / "outer.zip") + "'", &listing);
  EXPECT_NE(listing.find("real.txt"), std::string::npos) << listing;

  // With the real directory damaged, the hidden zip is still not taken for the archive.
  zipcraft::Built damaged = zipcraft::Zip({{.name = "real.txt", .data = "real"}}, inner);
  damaged.bytes[damaged.cdOffset] = 'X';
  WriteFile(t / "damaged.zip", damaged.bytes);
  Recorded d;
  EXPECT_NE(d.Test(t / "damaged.zip"), 0);
  EXPECT_NE(d.Extract(t / "damaged.zip", t / "out2"), 0);
  EXPECT_FALSE(qbtest::Exists(t / "out2\\inner.txt"));
}

TEST(UnzipFaults, EndRecordsThatDisagreeFailTheTestButExtractFollowsZip64) {
  TempDir t;
  zipcraft::Built z = zipcraft::Zip({{.name = "one.txt", .data = "one"}});
  std::string bytes = z.bytes.substr(0, z.cdOffset + z.cdSize);
  bytes += zipcraft::Zip64End(1, z.cdSize, z.cdOffset, bytes.size());
  bytes += zipcraft::EndRecord(0, z.cdSize, z.cdOffset);  // the classic record says none
  WriteFile(t / "e.zip", bytes);
  Recorded r;
  EXPECT_EQ(r.Test(t / "e.zip"), dz::UE_STRUCT);
  EXPECT_TRUE(AnyMessageHas(r, "zip64", "disagree"));
  EXPECT_EQ(r.Extract(t / "e.zip", t / "out"), 0);
  EXPECT_EQ(ReadFile(t / "out\\one.txt"), "one");
  // The same zip with agreeing records passes.
  WriteFile(t / "ok.zip", z.bytes.substr(0, z.cdOffset + z.cdSize) +
                              zipcraft::Zip64End(1, z.cdSize, z.cdOffset, z.cdOffset + z.cdSize) +
                              zipcraft::EndRecord(1, z.cdSize, z.cdOffset));
  Recorded ok;
  EXPECT_EQ(ok.Test(t / "ok.zip"), 0);
}

// A zip64 record that cannot be taken (its size field 12 too large) beside a classic record
// of zeros or of markers makes the zip invalid, not a volume of a split zip; a central extra
// block claiming more bytes than its field holds makes its item invalid, the other is whole.
TEST(UnzipFaults, AnUntrustedZip64RecordOrAnOverlongCentralExtraBlockIsInvalid) {
  TempDir t;
  const zipcraft::Built z = zipcraft::Zip({{.name = "one.txt", .data = "one"}});
  const std::string body = z.bytes.substr(0, z.cdOffset + z.cdSize);
  std::string bad64 = zipcraft::Zip64End(1, z.cdSize, z.cdOffset, body.size());
  zipcraft::Set32(bad64, 4, 44 + 12);
  std::string markers = zipcraft::EndRecord(0xFFFF, 0xFFFFFFFFu, 0xFFFFFFFFu);
  zipcraft::Set32(markers, 4, 0xFFFFFFFFu);   // both disk numbers
  for (const std::string& classic : {zipcraft::EndRecord(0, 0, 0), markers}) {
    WriteFile(t / "bad.zip", body + bad64 + classic);
    Recorded b;
    EXPECT_EQ(b.Test(t / "bad.zip"), dz::UE_STRUCT);
    EXPECT_FALSE(AnyMessageHas(b, "bad.zip", "split"));
  }
  const std::string extra("\x0A\x00\x20\x00" "1234", 8);   // an NTFS block of 32 bytes holding 4
  WriteFile(t / "x.zip",
            zipcraft::Zip({{.name = "bad.txt", .data = "bad", .centralExtra = extra}, {.name = "ok.txt", .data = "ok"}})
                .bytes);
  Recorded r;
  EXPECT_EQ(r.Test(t / "x.zip"), dz::UE_STRUCT);
  EXPECT_EQ(r.Extract(t / "x.zip", t / "out"), dz::UE_STRUCT);
  EXPECT_TRUE(!qbtest::Exists(t / "out\\bad.txt") && ReadFile(t / "out\\ok.txt") == "ok");
}

// A last name ending in the bytes of a zip64 end record and its locator: the record lies
// inside the directory it would describe, or is not where the locator points, or says what
// the classic end record does not; the classic end record describes the zip.
TEST(UnzipFaults, Zip64RecordBytesInANameLeaveTheClassicEndRecordInCharge) {
  TempDir t;
  const std::vector<Item> items{{.name = "a.txt", .data = "alpha"}, {.name = "b", .data = "beta"}};
  const zipcraft::Built plain = zipcraft::Zip64BytesInLastName(items, 0, 0, 0);
  const uint64_t size = plain.cdSize, offset = plain.cdOffset;
  const std::string zip = t / "m.zip";
  for (const auto& z : {zipcraft::Zip64BytesInLastName(items, 2, size, offset),
                        zipcraft::Zip64BytesInLastName(items, 2, size, offset, 1ull << 40),
                        zipcraft::Zip64BytesInLastName(items, 7, 1, 2)}) {
    WriteFile(zip, z.bytes);
    Recorded r;
    // Read as the classic record says; the last name, holding the record's zeros, is the one error.
    EXPECT_EQ(r.Test(zip), dz::UE_STRUCT);
    EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 1);
    EXPECT_EQ(r.Run(zip, "a.txt", t / "out", {F::RecurseFlag, F::OverWriteFlag}), 0);
    EXPECT_EQ(ReadFile(t / "out\\a.txt"), "alpha");
  }
  // The outside tools agree on the last, which says what the classic record does not.
  EXPECT_TRUE(OutsidePasses("unzip -tq", zip) && OutsidePasses("7z t", zip));
}

TEST(UnzipFaults, TheUnixModeDecidesFileOrFolder) {
  TempDir t;
  const uint16_t unix = (3 << 8) | 30;
  zipcraft::Built z = zipcraft::Zip({
      {.name = "run.sh", .data = "", .madeBy = unix, .externalAttr = (0100775u << 16) | 0xFF},
      {.name = "tool", .data = "#!", .madeBy = unix, .externalAttr = (0100644u << 16) | 0x10},
      {.name = "dir", .data = "", .madeBy = unix, .externalAttr = (040755u << 16)},
  });
  WriteFile(t / "u.zip", z.bytes);
  Recorded r;
  std::vector<uint32_t> attrs;
  ASSERT_EQ(r.List(t / "u.zip", nullptr, &attrs).size(), 3u);
  EXPECT_EQ(attrs[0] & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(attrs[1] & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(attrs[2] & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(r.Extract(t / "u.zip", t / "out"), 0);
  const DWORD run = GetFileAttributesW(tk::Widen(t / "out\\run.sh").c_str());
  ASSERT_NE(run, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(run & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(ReadFile(t / "out\\tool"), "#!");
  EXPECT_NE(GetFileAttributesW(tk::Widen(t / "out\\dir").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// The last member a stored zip, the archive's end cut or damaged: that member's end record
// then is the last one left whole, but it lies inside the archive's data and is not its end.
TEST(UnzipFaults, AStoredZipMemberIsNotTheArchiveWhenTheArchiveEndIsCut) {
  TempDir t;
  const std::string inner = zipcraft::Zip({{.name = "inner.txt", .data = "hidden"}}).bytes;
  const zipcraft::Built built =
      zipcraft::Zip({{.name = "real.txt", .data = "real"}, {.name = "inner.zip", .data = inner}}, "outer comment");
  const std::string& outer = built.bytes;
  WriteFile(t / "whole.zip", outer);
  Recorded whole;
  EXPECT_EQ(whole.Test(t / "whole.zip"), 0);
  std::string badSignature = outer;
  badSignature[outer.rfind("PK\x05\x06")] = 'Q';
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {{"comment cut", outer.substr(0, outer.size() - 5)},  // cuts elsewhere: the fuzz test
               {"directory cut to its first two bytes", outer.substr(0, built.cdOffset + 2)},
               {"end signature damaged", badSignature}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string zip = t / "cut.zip", dest = t / "out";
    WriteFile(zip, c.bytes);
    Recorded r;
    EXPECT_EQ(r.List(zip), std::vector<std::string>{});
    EXPECT_EQ(r.Test(zip), dz::UE_EOF);
    EXPECT_TRUE(AnyMessageHas(r, "cut.zip", "truncated"));
    EXPECT_EQ(r.Extract(zip, dest), dz::UE_EOF);
    EXPECT_TRUE(qbtest::ListDir(dest).empty());
    EXPECT_FALSE(OutsidePasses("unzip -t", zip));  // quiet, it passes a truncated comment
    EXPECT_FALSE(OutsidePasses("7z t", zip));
  }
}

// Names Windows reads as one file: the first item extracted stays, into an empty folder and
// over the files of an earlier run alike, and each later one is an error naming both.
TEST(UnzipFaults, ItemsNamingOneWindowsFileDoNotOverwriteEachOther) {
  TempDir t;
  const std::vector<std::pair<std::string, std::string>> items = {
      {"Readme.txt", "first"}, {"README.TXT", "second"}, {"readme.txt", "third"}, {"x.txt", "x"},
      {"x.txt.", "x dotted"},  {"space", "bare"},        {"space ", "blank"},     {"sub/twice.txt", "once"},
      {"Sub/twice.txt", "twice"}, {"F/x.txt", "folded"}, {"f. /x.txt", "folded again"}};
  std::vector<Item> zipItems;
  for (const auto& [name, data] : items) zipItems.push_back({.name = name, .data = data});
  WriteFile(t / "one.zip", zipcraft::Zip(zipItems).bytes);
  EXPECT_TRUE(OutsidePasses("unzip -tq", t / "one.zip"));
  const std::string dest = t / "out";
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass ? "over the files of the first run" : "into an empty folder");
    Recorded r;
    EXPECT_EQ(r.Extract(t / "one.zip", dest), dz::UE_CREATE);
    EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 6);
    for (const char* later : {"README.TXT", "readme.txt"})
      EXPECT_TRUE(AnyMessageHas(r, later + std::string(": not extracted, it names the same file as Readme.txt"), ""));
    EXPECT_TRUE(AnyMessageHas(r, "x.txt.: ", "same file as x.txt,"));
    EXPECT_TRUE(AnyMessageHas(r, "space : ", "same file as space,"));
    EXPECT_TRUE(AnyMessageHas(r, "Sub/twice.txt: ", "same file as sub/twice.txt,"));
    EXPECT_TRUE(AnyMessageHas(r, "f. /x.txt: ", "same file as F/x.txt,"));
    EXPECT_EQ(qbtest::ListDir(dest), (std::vector<std::string>{"F", "Readme.txt", "space", "sub", "x.txt"}));
    EXPECT_EQ(ReadFile(dest + "\\readme.txt"), "first");
    EXPECT_EQ(ReadFile(dest + "\\x.txt"), "x");
    EXPECT_EQ(ReadFile(dest + "\\space"), "bare");
    EXPECT_EQ(ReadFile(dest + "\\sub\\twice.txt"), "once");
  }
}

// Files already there: an existing file's new content goes under a name no file had, so
// the user's own files beside it stay as they are, whatever their names, and an item that
// fails leaves its old file as it was. Items the outside tools read: a folder entry holding
// data is made a folder (with a warning), an entry under strong encryption is of an
// unsupported method, not one of a wrong password, and a zip without entries passes.
TEST(UnzipFaults, ExtractionKeepsTheFilesBesideAndReadsWhatThePeersRead) {
  TempDir t;
  const std::string out = t / "out\\";
  qbtest::MakeDirs(out);
  for (const char* name : {"a.txt", "a.txt.qbpart", "b.txt", "qbx00000001.tmp"}) WriteFile(out + name, name);
  WriteFile(t / "x.zip", zipcraft::Zip({{.name = "a.txt", .data = "new a"}, {.name = "dd/", .data = "stray"},
                                        {.name = "dd/x.txt", .data = "in dd"}}).bytes);
  EXPECT_TRUE(OutsidePasses("unzip -tq", t / "x.zip") && OutsidePasses("7z t", t / "x.zip"));
  const Item badCrc{.name = "b.txt", .data = "new b", .crc = 1, .compSize = 5, .size = 5, .filled = true};
  WriteFile(t / "bad.zip", zipcraft::Zip({badCrc}).bytes);
  Recorded r;
  EXPECT_EQ(r.Extract(t / "x.zip", out), 0);
  EXPECT_TRUE(AnyMessageHas(r, "dd/: a folder entry holding 5 bytes of data", ""));
  EXPECT_EQ(r.Extract(t / "bad.zip", out), dz::UE_CRC);
  EXPECT_EQ(qbtest::ListDir(out),
            (std::vector<std::string>{"a.txt", "a.txt.qbpart", "b.txt", "dd", "qbx00000001.tmp"}));
  EXPECT_EQ(ReadFile(out + "a.txt") + ReadFile(out + "dd\\x.txt"), "new ain dd");
  for (const char* name : {"a.txt.qbpart", "b.txt", "qbx00000001.tmp"}) EXPECT_EQ(ReadFile(out + name), name);

  WriteFile(t / "strong.zip", zipcraft::Zip({{.name = "s", .data = "sealed, past a header", .flags = 0x41}}).bytes);
  r.uz.lpszDecryptCode.SetText("secret");
  EXPECT_EQ(r.Run(t / "strong.zip", "*.*", "", {F::QuietFlag, F::TestFlag, F::RecurseFlag, F::DecryptFlag}),
            dz::UE_METHOD);
  for (const char* comment : {"", "a comment alone"}) {
    WriteFile(t / "empty.zip", zipcraft::EndRecord(0, 0, 0, comment));
    EXPECT_TRUE(OutsidePasses("python3 -m zipfile -t", t / "empty.zip"));
    EXPECT_EQ(r.Test(t / "empty.zip"), 0);
    EXPECT_EQ(r.Run(t / "empty.zip", "a.txt", out, {F::RecurseFlag}), dz::UE_NOFILES);  // an extract names items
  }
}

// Test reads every entry: damage in a folder entry's local or central header fails it, for
// a folder named by its trailing '/' and for one named by its folder bit alike.
TEST(UnzipFaults, TestChecksTheHeadersOfFolderEntries) {
  TempDir t;
  const zipcraft::Built good = zipcraft::Zip({{.name = "dir/", .externalAttr = FILE_ATTRIBUTE_DIRECTORY},
                                              {.name = "dir/a.txt", .data = "alpha"},
                                              {.name = "flagged", .externalAttr = FILE_ATTRIBUTE_DIRECTORY}});
  WriteFile(t / "good.zip", good.bytes);
  Recorded ok;
  EXPECT_EQ(ok.Test(t / "good.zip"), 0);
  EXPECT_TRUE(OutsidePasses("unzip -tq", t / "good.zip") && OutsidePasses("7z t", t / "good.zip"));
  const size_t local = good.offsets[0], central = good.cdOffset, flaggedCentral = central + 46 + 4 + 46 + 9;
  const struct {
    const char* what;
    size_t at, width;
    uint32_t value;
  } cases[] = {// every other checked field: the fuzz test
               {"local signature", local, 4, 0x04034b51},  {"local CRC", local + 14, 4, 5},
               {"central size", central + 24, 4, 3},       {"central offset of another entry", central + 42, 4, 34},
               {"central CRC of the folder bit entry", flaggedCentral + 16, 4, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bad = good.bytes;
    for (size_t k = 0; k < c.width; ++k) bad[c.at + k] = char(c.value >> (8 * k));
    const std::string zip = t / "bad.zip";
    WriteFile(zip, bad);
    Recorded r;
    EXPECT_NE(r.Test(zip), 0);
    EXPECT_TRUE(AnyMessageHas(r, std::string(c.at == flaggedCentral + 16 ? "flagged" : "dir/") + ": ", ""));
    EXPECT_FALSE(OutsidePasses("unzip -tq", zip) && OutsidePasses("7z t", zip));
  }
}

// An extraction killed at any moment leaves under an item's name only a whole file (or the
// user's old one), and no temporary file, so a later one that keeps what is there restores it.
TEST(UnzipFaults, ExtractionsKilledAtAnyMomentLeaveNoCutFile) {
  TempDir t;
  std::string bin = qbtest::BinDir();
  bin.pop_back();  // a backslash before the closing quote would escape it
  // The child extracts k.zip into dest (overwriting) and ends itself at its callback `at` (0:
  // never): 77 when it did, else 1000 + the callbacks of the whole run.
  const auto killedAt = [&](const std::string& dest, int at) {
    return qbtest::RunProgram(qbtest::BinDir() + "zip_killed_child.exe",
                              "\"" + bin + "\" -x \"" + t / "k.zip" + "\" " + std::to_string(at) + " \"" + dest + "\"", 120000);
  };
  const std::string big = Repeat("a line of the large item\n", 10u << 20 >> 5);   // stored, several minor calls
  WriteFile(t / "k.zip", zipcraft::Zip({{.name = "first.txt", .data = "first"}, {.name = "sub/big.bin", .data = big},
                                        {.name = "last.txt", .data = "new last"}}).bytes);
  const std::string out = t / "out";
  qbtest::MakeDirs(out);
  WriteFile(out + "\\last.txt", "old last");
  const int whole = killedAt(t / "count", 0);
  ASSERT_GT(whole, 1000 + 8);
  const std::set<std::string> originals{"first", big, "new last", "old last"};
  for (int k = 1; k < whole - 1000; ++k) {
    SCOPED_TRACE("killed at callback " + std::to_string(k) + " of " + std::to_string(whole - 1000));
    ASSERT_EQ(killedAt(out, k), 77);
    CheckTree(out, originals, "killed");
    for (const std::string& n : qbtest::ListDir(out)) EXPECT_TRUE(n == "first.txt" || n == "sub" || n == "last.txt");
    // Once more into a fresh folder, where every folder is this run's own.
    qbtest::RunUnix("rm -rf '" + qbtest::ToUnixPath(t / "fresh") + "'");
    ASSERT_EQ(killedAt(t / "fresh", k), 77);
    if (qbtest::Exists(t / "fresh")) CheckTree(t / "fresh", originals, "killed in a fresh folder");
  }
}

// An existing file that cannot be replaced stays as it was, and the error says why in plain
// words: every temporary name beside it is taken, or it lies past the host's path limit,
// where files are reached folder by folder but not by their whole path.
TEST(UnzipFaults, AFileThatCannotBeReplacedSaysWhy) {
  TempDir t;
  const std::string deep = Repeat("d/", 2100);
  WriteFile(t / "r.zip", zipcraft::Zip({{.name = "sub/a.txt", .data = "new"}, {.name = deep + "f.txt", .data = "deep"}}).bytes);
  const std::string out = t / "out", sub = out + "\\sub";
  Recorded first;
  ASSERT_EQ(first.Extract(t / "r.zip", out), 0);
  WriteFile(sub + "\\a.txt", "old");
  // Every name the temporary files of this process can take.
  Sh(sub, "python3 -c '[open(\"qbx%04x%04x.tmp\" % (" + std::to_string(GetCurrentProcessId() & 0xFFFF) +
              ", i), \"w\").close() for i in range(65536)]'");
  Recorded r;
  EXPECT_EQ(r.Extract(t / "r.zip", out), dz::UE_CREATE);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 2);
  EXPECT_TRUE(AnyMessageHas(r, "sub/a.txt: not replaced, no temporary file for its new content can be made beside it: "
                               "every one of the 100 temporary names tried is taken", ""));
  EXPECT_TRUE(AnyMessageHas(r, "/d/f.txt: not replaced, its path is longer than the system can replace a file at", ""));
  EXPECT_EQ(ReadFile(sub + "\\a.txt"), "old");
  // Too big and too deep for a clean-up through Wine: the Linux side removes it.
  qbtest::RunUnix("rm -rf '" + qbtest::ToUnixPath(out) + "'");
}

// A NUL in a name is shown escaped, so the error line keeps the rest of the name and the
// reason; the superscript port numbers name devices as the plain digits do.
TEST(UnzipFaults, NamesWithANulAreShownWholeAndSuperscriptPortsAreDevices) {
  TempDir t;
  std::vector<Item> items;
  for (const std::string& name : {std::string("28 nul\0rest of it.txt", 21), std::string("COM\xC2\xB9"),
                                 std::string("com\xC2\xB2.txt"), std::string("LPT\xC2\xB3 .log"),
                                 std::string("sub/lpt\xC2\xB9"), std::string("COM\xE2\x81\xB4.txt")})
    items.push_back({.name = name, .data = "d", .flags = 0x0800});
  WriteFile(t / "n.zip", zipcraft::Zip(items).bytes);
  Recorded r;
  const std::string dest = t / "out";
  EXPECT_EQ(r.Test(t / "n.zip"), dz::UE_STRUCT);   // no extraction could write it: test refuses it too
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 1);
  EXPECT_TRUE(AnyMessageHas(r, "28 nul\\x00rest of it.txt: a NUL character inside the name", ""));
  r.messages.clear();
  EXPECT_EQ(r.Extract(t / "n.zip", dest), dz::UE_CREATE);
  EXPECT_EQ(r.Count(dz::DZ_MSG_ERROR), 5);
  EXPECT_TRUE(AnyMessageHas(r, "28 nul\\x00rest of it.txt: refused, character not allowed", ""));
  for (const char* device : {"COM\xC2\xB9: ", "com\xC2\xB2.txt: ", "LPT\xC2\xB3 .log: ", "sub/lpt\xC2\xB9: "})
    EXPECT_TRUE(AnyMessageHas(r, device + std::string("refused, device name"), ""));
  // The superscript four is no port number.
  EXPECT_EQ(ReadFile(dest + "\\" + tk::Narrow(L"COM\u2074.txt")), "d");
}

}  // namespace
