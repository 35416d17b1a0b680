// Deflate64 and AES-encrypted entries written by dzip32.dll, checked with 7z, Python's
// zipfile and our own dunzip32.dll; zip64 archives of other writers added to; and the
// Deflate64 encoder's joinable pieces.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/testutil.h"
#include "tests/ziplib/codec_zipfile_test.h"
#include "tests/ziplib/unzip_testutil.h"
#include "toolkit/strings.h"
#include "ziplib/deflate64_dec.h"
#include "ziplib/deflate64_enc.h"
#include "ziplib/dzrecords.h"

using namespace qbtest;
using codectest::Quote;
using codectest::RandomBytes;
using codectest::RepetitiveText;
using unziptest::F;

namespace {

const char kPassword[] = "Corr3ct horse";

dz::DZipFn Dzip() {
  static dz::DZipFn fn = [] {
    HMODULE m = LoadLibraryW(tk::Widen(BinDir() + "dzip32.dll").c_str());
    return m ? reinterpret_cast<dz::DZipFn>(reinterpret_cast<void*>(GetProcAddress(m, "dzip"))) : nullptr;
  }();
  return fn;
}

int32_t __stdcall CountErrors(int32_t id, int32_t, int32_t, int32_t, char*, char*, void* user) {
  if (id == dz::DZ_MSG_ERROR) ++*static_cast<int*>(user);
  return 1;
}

// One dzip call over every file below `src`, relative names.
struct Zipper {
  dz::ZipCmdRecord r{};
  dz::DzCallbackSubRecord sub{};
  std::string zip, items, password;
  int errors = 0;

  Zipper(const std::string& zipPath, const std::string& src, int factor) : zip(zipPath), items("\"" + src + "*.*\"") {
    r.recordSize = sizeof r;
    r.lpszZipFile = zip.c_str();
    r.lpszItemList = items.c_str();
    r.CompFactor = factor;
    r.RecurseFlag = dz::kDzTrue;
    r.QuietFlag = dz::kDzTrue;
    r.wZipSubOptions = dz::ZSO_RELATIVEPATH | dz::ZSO_MINORCANCEL;
    r.MessageCallback = &CountErrors;
    r.messageUserData = &errors;
    sub.size = sizeof sub;
    r.lpCallbackSubRecord = &sub;
  }
  Zipper& Encrypt(const std::string& pw) {
    password = pw;
    r.EncryptFlag = dz::kDzTrue;
    r.lpszEncryptCode = password.c_str();
    return *this;
  }
  int Run(int function = dz::ZIP_ADD) {
    r.functionCode = function;
    return Dzip()(&r);
  }
};

int SevenZip(const std::string& args, std::string* out) { return RunUnix("7z " + args, out, 300000); }

// Python prints one line per entry, sorted by name, from the central header and the
// local header: name, method, encrypted bit, version needed, CRC, the AES record's real
// method ("-" without one), the same three from the local header, compressed - size, and
// a digest of the entry's raw data (to see that copied entries stay byte for byte).
std::string Entries(const std::string& zip) {
  const std::string py =
      "import zipfile, struct, sys, hashlib\n"
      "def aes(extra):\n"
      "  i = 0\n"
      "  while i + 4 <= len(extra):\n"
      "    tag, n = struct.unpack_from('<HH', extra, i)\n"
      "    if tag == 0x9901:\n"
      "      ver, vendor, strength, method = struct.unpack_from('<H2sBH', extra, i + 4)\n"
      "      assert n == 7 and vendor == b'AE' and ver == 2 and strength == 3, (n, vendor, ver, strength)\n"
      "      return str(method)\n"
      "    i += 4 + n\n"
      "  return '-'\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "f = open(sys.argv[1], 'rb')\n"
      "for i in sorted(z.infolist(), key=lambda i: i.filename):\n"
      "  f.seek(i.header_offset)\n"
      "  h = f.read(30)\n"
      "  sig, ver, flags, method, _, _, crc, _, _, nl, xl = struct.unpack('<IHHHHHIIIHH', h)\n"
      "  assert sig == 0x04034b50\n"
      "  f.read(nl)\n"
      "  lx = f.read(xl)\n"
      "  raw = hashlib.sha1(f.read(i.compress_size)).hexdigest()[:12]\n"
      "  print(i.filename, i.compress_type, i.flag_bits & 1, i.extract_version, 'crc0' if i.CRC == 0 else 'crc',\n"
      "        aes(i.extra), '|', method, flags & 1, aes(lx), '|', i.compress_size - i.file_size, raw)\n";
  WriteFile(zip + ".py", py);
  std::string out;
  const int rc = RunUnix("python3 " + Quote(zip + ".py") + " " + Quote(zip), &out);
  DeleteFileW(tk::Widen(zip + ".py").c_str());
  return rc == 0 ? out : "python failed: " + out;
}

// The fields of Entries() without the digest: "name method enc version crc aes | local... | extra".
std::vector<std::string> Shapes(const std::string& entries) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < entries.size()) {
    size_t nl = entries.find('\n', pos);
    if (nl == std::string::npos) nl = entries.size();
    std::string line = entries.substr(pos, nl - pos);
    const size_t lastBlank = line.rfind(' ');
    out.push_back(lastBlank == std::string::npos ? line : line.substr(0, lastBlank));
    pos = nl + 1;
  }
  return out;
}

// The digest field of the entry `name`, "" when absent.
std::string Digest(const std::string& entries, const std::string& name) {
  const size_t at = entries.find(name + " ");
  if (at == std::string::npos || (at > 0 && entries[at - 1] != '\n')) return "";
  const size_t nl = entries.find('\n', at);
  const std::string line = entries.substr(at, nl - at);
  return line.substr(line.rfind(' ') + 1);
}

// Several pipeline chunks, with noise stretches repeated 40 KiB later, so that matches
// reach back across chunk borders beyond deflate's 32 KiB window.
std::string Big() {
  std::string s;
  for (uint32_t k = 0; s.size() < (3u << 20) + 12345; ++k) {
    const std::string n = RandomBytes(9000, k);
    s += n + RepetitiveText(31000, k + 100) + n;
  }
  return s.substr(0, (3u << 20) + 12345);
}

class ZipCodecs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Dzip(), nullptr) << "dzip32.dll not found in " << BinDir();
    src = dir / "src\\";
    MakeDirs(src + "sub");
    WriteFile(src + "a.txt", RepetitiveText(5000, 1));
    WriteFile(src + "b.bin", RandomBytes(3000, 9));
    WriteFile(src + "big.dat", Big());
    WriteFile(src + "sub\\empty.txt", "");
    zip = dir / "out.zip";
  }
  // Our dunzip tests the zip with the password; 0 is success.
  int OurTest(const std::string& pw) {
    unziptest::Recorded u;
    u.uz.lpszDecryptCode.SetText(pw);
    return u.Run(zip, "*.*", "", {F::QuietFlag, F::TestFlag, F::RecurseFlag, F::DecryptFlag});
  }
  // Our dunzip extracts with the password and every file comes back as it was.
  void ExpectOurExtractMatches(const std::string& pw) {
    const std::string dest = dir / ("ours" + std::to_string(++extracts) + "\\");
    MakeDirs(dest);
    unziptest::Recorded u;
    u.uz.lpszDecryptCode.SetText(pw);
    ASSERT_EQ(u.Run(zip, "*.*", dest, {F::OverWriteFlag, F::RecurseFlag, F::DecryptFlag}), 0);
    ExpectSameFiles(dest);
  }
  // 7z extracts with the password (or none) and every file comes back as it was.
  void ExpectSevenZipExtractMatches(const std::string& pw) {
    const std::string dest = dir / ("7z" + std::to_string(++extracts) + "\\");
    std::string out;
    const std::string pwOption = pw.empty() ? "" : "'-p" + pw + "' ";
    ASSERT_EQ(SevenZip("x -y " + pwOption + "-o" + Quote(dest) + " " + Quote(zip), &out), 0) << out;
    ExpectSameFiles(dest);
  }
  void ExpectSameFiles(const std::string& dest) {
    for (const char* name : {"a.txt", "b.bin", "big.dat", "sub\\empty.txt"})
      EXPECT_TRUE(ReadFile(dest + name) == ReadFile(src + name)) << name;
  }

  TempDir dir;
  std::string src, zip;
  int extracts = 0;
};

// What Entries() says of the test tree when every file is encrypted: the real method of
// a.txt and big.dat is `method`, b.bin (noise) and the empty file are stored.
std::vector<std::string> EncryptedShapes(int method) {
  const std::string m = std::to_string(method);
  return {"a.txt 99 1 51 crc0 " + m + " | 99 1 " + m + " | " + "X",
          "b.bin 99 1 51 crc0 0 | 99 1 0 | 28",
          "big.dat 99 1 51 crc0 " + m + " | 99 1 " + m + " | X",
          "sub/ 0 0 20 crc0 - | 0 0 - | 0",
          "sub/empty.txt 99 1 51 crc0 0 | 99 1 0 | 28"};
}
// The compressed entries' size difference depends on the codec: replaced by X.
std::vector<std::string> Masked(std::vector<std::string> shapes) {
  for (auto& s : shapes)
    if (s.rfind("a.txt ", 0) == 0 || s.rfind("big.dat ", 0) == 0) s = s.substr(0, s.rfind(' ') + 1) + "X";
  return shapes;
}

TEST_F(ZipCodecs, EncryptedZipsOpenWithThePasswordOnly) {
  struct Case {
    int factor, method;
  } cases[] = {{0, 0}, {5, 8}, {15, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE("factor " + std::to_string(c.factor));
    DeleteFileW(tk::Widen(zip).c_str());
    Zipper z(zip, src, c.factor);
    ASSERT_EQ(z.Encrypt(kPassword).Run(), 0);
    EXPECT_EQ(z.errors, 0);
    const std::string entries = Entries(zip);
    std::vector<std::string> expected = EncryptedShapes(c.method);
    if (c.method == 0) {
      // Stored: salt, verifier and authentication code are all the entry adds.
      expected[0] = "a.txt 99 1 51 crc0 0 | 99 1 0 | 28";
      expected[2] = "big.dat 99 1 51 crc0 0 | 99 1 0 | 28";
      EXPECT_EQ(Shapes(entries), expected) << entries;
    } else {
      EXPECT_EQ(Masked(Shapes(entries)), expected) << entries;
    }
    std::string out;
    EXPECT_EQ(SevenZip("t '-p" + std::string(kPassword) + "' " + Quote(zip), &out), 0) << out;
    EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
    EXPECT_NE(SevenZip("t '-pcorr3ct horse' " + Quote(zip), &out), 0) << out;
    EXPECT_NE(out.find("Wrong password"), std::string::npos) << out;
    ExpectSevenZipExtractMatches(kPassword);
    EXPECT_EQ(OurTest(kPassword), 0);
    EXPECT_EQ(OurTest("wrong"), dz::UE_BADPASSWORD);
    ExpectOurExtractMatches(kPassword);
  }
}

TEST_F(ZipCodecs, EncryptionWithoutAPasswordWritesNothing) {
  for (bool nullText : {true, false}) {
    Zipper z(zip, src, 5);
    z.Encrypt("");
    if (nullText) z.r.lpszEncryptCode = nullptr;   // what the component passes for an empty text
    EXPECT_EQ(z.Run(), dz::ZE_PARMS);
    EXPECT_EQ(z.errors, 1);
    EXPECT_FALSE(Exists(zip));
  }
  // An existing zip is left as it was.
  ASSERT_EQ(Zipper(zip, src, 5).Run(), 0);
  const std::string before = ReadFile(zip);
  WriteFile(src + "new.txt", "new");
  Zipper z(zip, src, 5);
  EXPECT_EQ(z.Encrypt("").Run(dz::ZIP_UPDATE), dz::ZE_PARMS);
  EXPECT_TRUE(ReadFile(zip) == before);
  EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"out.zip", "src"}));
}

TEST_F(ZipCodecs, Deflate64ZipsPassOutsideTools) {
  for (int factor : {11, 15, 19}) {
    SCOPED_TRACE("factor " + std::to_string(factor));
    DeleteFileW(tk::Widen(zip).c_str());
    Zipper z(zip, src, factor);
    ASSERT_EQ(z.Run(), 0);
    const std::vector<std::string> shapes = Shapes(Entries(zip));
    ASSERT_EQ(shapes.size(), 5u) << Entries(zip);
    EXPECT_EQ(shapes[0].substr(0, shapes[0].rfind('|')), "a.txt 9 0 21 crc - | 9 0 - ");
    EXPECT_EQ(shapes[1], "b.bin 0 0 10 crc - | 0 0 - | 0");
    EXPECT_EQ(shapes[2].substr(0, shapes[2].rfind('|')), "big.dat 9 0 21 crc - | 9 0 - ");
    EXPECT_EQ(shapes[3], "sub/ 0 0 20 crc0 - | 0 0 - | 0");
    EXPECT_EQ(shapes[4], "sub/empty.txt 0 0 10 crc0 - | 0 0 - | 0");
    std::string out;
    EXPECT_EQ(SevenZip("t " + Quote(zip), &out), 0) << out;
    EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
    ExpectSevenZipExtractMatches("");
    EXPECT_EQ(OurTest(""), 0);
    ExpectOurExtractMatches("");
  }
  // Higher factors compress the text at least as well; all shrink it far.
  std::vector<uint64_t> sizes;
  for (int factor : {11, 19}) {
    DeleteFileW(tk::Widen(zip).c_str());
    ASSERT_EQ(Zipper(zip, src, factor).Run(), 0);
    sizes.push_back(ReadFile(zip).size());
  }
  EXPECT_LE(sizes[1], sizes[0]);
  EXPECT_LT(sizes[0], Big().size() / 2);
}

TEST_F(ZipCodecs, UpdateAndFreshenKeepOlderEntriesAsTheyWere) {
  Zipper first(zip, src, 15);
  ASSERT_EQ(first.Encrypt(kPassword).Run(), 0);
  const std::string before = Entries(zip);
  ASSERT_EQ(before.rfind("python failed", 0), std::string::npos) << before;

  // Update with a second password: the new file takes it, the old entries keep theirs.
  WriteFile(src + "sub\\new.txt", RepetitiveText(2000, 5));
  Zipper update(zip, src, 5);
  ASSERT_EQ(update.Encrypt("second").Run(dz::ZIP_UPDATE), 0);
  const std::string after = Entries(zip);
  for (const char* name : {"a.txt", "b.bin", "big.dat", "sub/empty.txt"}) {
    EXPECT_FALSE(Digest(before, name).empty()) << name;
    EXPECT_EQ(Digest(after, name), Digest(before, name)) << name;
  }
  const std::vector<std::string> shapes = Masked(Shapes(after));
  ASSERT_EQ(shapes.size(), 6u) << after;
  EXPECT_EQ(shapes[5].substr(0, shapes[5].rfind('|')), "sub/new.txt 99 1 51 crc0 8 | 99 1 8 ") << after;
  std::string out;
  const std::string older = " a.txt b.bin big.dat sub/empty.txt";
  EXPECT_EQ(SevenZip("t '-p" + std::string(kPassword) + "' " + Quote(zip) + older, &out), 0) << out;
  EXPECT_EQ(SevenZip("t -psecond " + Quote(zip) + " sub/new.txt", &out), 0) << out;
  EXPECT_NE(SevenZip("t -psecond " + Quote(zip) + " a.txt", &out), 0) << out;

  // Freshen without encryption: the changed file is replaced in the clear, the rest stays.
  WriteFile(src + "a.txt", RepetitiveText(7000, 3));
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
  u.QuadPart += 60ull * 10000000;
  ft = {u.LowPart, u.HighPart};
  HANDLE h = CreateFileW(tk::Widen(src + "a.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  ASSERT_EQ(Zipper(zip, src, 5).Run(dz::ZIP_FRESHEN), 0);
  const std::string fresh = Entries(zip);
  EXPECT_EQ(Shapes(fresh)[0].substr(0, 22), "a.txt 8 0 20 crc - | 8") << fresh;
  for (const char* name : {"b.bin", "big.dat", "sub/empty.txt", "sub/new.txt"})
    EXPECT_EQ(Digest(fresh, name), Digest(after, name)) << name;
  std::string a;
  EXPECT_EQ(RunUnix("python3 -c 'import zipfile,sys; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(\"a.txt\"))' " +
                        Quote(zip),
                    &a),
            0);
  EXPECT_TRUE(a == RepetitiveText(7000, 3));
}

TEST_F(ZipCodecs, EncryptedEntryOfZip64Size) {
  // A sparse file of zeros a little over 4 GiB: zip64 sizes in both headers, encrypted.
  const std::string huge = dir / "huge\\";
  MakeDirs(huge);
  std::string out;
  ASSERT_EQ(RunUnix("truncate -s 4300000000 " + Quote(huge + "zeros.bin"), &out), 0) << out;
  Zipper z(zip, huge, 1);
  ASSERT_EQ(z.Encrypt(kPassword).Run(), 0);
  EXPECT_LT(ReadFile(zip).size(), 30u << 20);
  const std::string py =
      "import zipfile, struct, sys\n"
      "i = zipfile.ZipFile(sys.argv[1]).getinfo('zeros.bin')\n"
      "f = open(sys.argv[1], 'rb'); f.seek(i.header_offset)\n"
      "sig, ver, flags, method, _, _, crc, cs, us, nl, xl = struct.unpack('<IHHHHHIIIHH', f.read(30))\n"
      "f.read(nl); lx = f.read(xl)\n"
      "tag, n, lus, lcs = struct.unpack_from('<HHQQ', lx, 0)\n"
      "print(i.file_size, i.compress_type, i.extract_version, ver, method, hex(cs), hex(us), tag, lus, lcs == i.compress_size)\n";
  WriteFile(dir / "z64.py", py);
  ASSERT_EQ(RunUnix("python3 " + Quote(dir / "z64.py") + " " + Quote(zip), &out), 0) << out;
  EXPECT_EQ(out, "4300000000 99 51 51 99 0xffffffff 0xffffffff 1 4300000000 True\n");
  EXPECT_EQ(SevenZip("t '-p" + std::string(kPassword) + "' " + Quote(zip), &out), 0) << out;
  EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
}

// Zip64 archives of other writers: Python's with more entries than a 16-bit count holds,
// zip -fz's on a small tree, and that one again with its classic end record filled with
// zeros, as some writers leave it. Each is counted and tested, and a file added to it keeps
// every entry it had, as the outside tools see.
TEST_F(ZipCodecs, Zip64ArchivesOfOtherWritersAreReadAndAddedTo) {
  unziptest::Python(dir.path(),
                    "import subprocess, zipfile\n"
                    "with zipfile.ZipFile('py.zip', 'w') as z:\n"
                    "  for i in range(65600): z.writestr('d/%05d.txt' % i, str(i))\n"
                    "subprocess.check_call('cd src && zip -q -r -fz ../fz.zip .', shell=True)\n"
                    "b = bytearray(open('fz.zip', 'rb').read())\n"
                    "e = b.rfind(b'PK\\x05\\x06')\n"
                    "assert b[e - 20:e - 16] == b'PK\\x06\\x07'\n"
                    "b[e + 8:e + 20] = bytes(12)\n"
                    "open('zero.zip', 'wb').write(b)\n");
  const std::string check = "python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                            "assert z.testzip() is None; print(len(z.infolist()), z.read(\"added.txt\").decode())' ";
  const std::string added = dir / "added\\";
  MakeDirs(added);
  WriteFile(added + "added.txt", "added later");
  const std::pair<const char*, int> cases[] = {{"py.zip", 65600}, {"fz.zip", 5}, {"zero.zip", 5}};  // 5: src's
  for (const auto& [zip, count] : cases) {
    SCOPED_TRACE(zip);
    const std::string path = dir / zip;
    unziptest::Recorded u;
    u.uz.Options = {F::QuietFlag};
    u.uz.lpszZipFile.SetText(path);
    ASSERT_TRUE(u.uz.Execute(1));
    EXPECT_EQ(u.uz.ItemCount, count);
    EXPECT_EQ(u.Test(path), 0);
    ASSERT_EQ(Zipper(path, added, 5).Run(dz::ZIP_ADD), 0);
    std::string out;
    EXPECT_EQ(RunUnix(check + Quote(path), &out), 0) << out;
    EXPECT_EQ(out, std::to_string(count + 1) + " added later\n");
    EXPECT_EQ(RunUnix("unzip -tq " + Quote(path), &out), 0) << out;
    EXPECT_EQ(SevenZip("t " + Quote(path), &out), 0) << out;
  }
}

// The encoder's pieces: each primed with the 64 KiB before it and ended by Flush, the
// last by Finish; joined, they are one stream that decodes to the whole input.
TEST(Deflate64Pieces, JoinedPiecesDecodeToTheWhole) {
  // Noise blocks of 40000 bytes, each twice in a row: a repeat lies 40000 bytes back, out
  // of deflate's reach, and the cuts fall between a block and its repeat.
  std::string whole;
  for (uint32_t k = 0; k < 4; ++k) whole += RandomBytes(40000, k + 40) + RandomBytes(40000, k + 40);
  const size_t cuts[] = {0, 40000, 120000, 200000, 200001, whole.size()};
  std::string joined, unprimed;
  for (size_t i = 0; i + 1 < std::size(cuts); ++i) {
    for (bool prime : {true, false}) {
      std::string& out = prime ? joined : unprimed;
      ziplib::Deflate64Encoder enc(9, [&out](const uint8_t* p, size_t n) {
        out.append(reinterpret_cast<const char*>(p), n);
        return true;
      });
      if (prime) enc.SetDictionary(whole.data(), cuts[i]);
      ASSERT_TRUE(enc.Write(whole.data() + cuts[i], cuts[i + 1] - cuts[i]));
      const bool last = i + 2 == std::size(cuts);
      ASSERT_TRUE(last ? enc.Finish() : enc.Flush());
      if (!last) {
        ASSERT_EQ(out.substr(out.size() - 4), std::string("\0\0\xFF\xFF", 4));
      }
    }
  }
  std::string back, err;
  EXPECT_EQ(ziplib::Deflate64DecodeBuffer(joined.data(), joined.size(), &back, UINT64_MAX, &err),
            ziplib::D64Result::Ok)
      << err;
  EXPECT_TRUE(back == whole);
  // Primed, the pieces that start with a repeat found it in the piece before them.
  EXPECT_LT(joined.size() + 100000, unprimed.size());
}

}  // namespace
