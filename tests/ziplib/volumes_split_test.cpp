// Splitting a zip into volumes through dzip32.dll: the volumes are checked record by record,
// by outside tools (7z reads them, zip -s 0 joins them) and by our own join.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "ziplib/unzip_testutil.h"

using namespace unziptest;
using qbtest::TempDir;

namespace {

dz::DZipFn Dzip() {
  static dz::DZipFn fn = [] {
    HMODULE m = LoadLibraryW(tk::Widen(qbtest::BinDir() + "dzip32.dll").c_str());
    return m ? reinterpret_cast<dz::DZipFn>(reinterpret_cast<void*>(GetProcAddress(m, "dzip"))) : nullptr;
  }();
  return fn;
}

// One split through the record the runner's S command fills.
struct SplitCall {
  dz::ZipCmdRecord r{};
  int64_t size = 0;
  std::string items, volumes;
  std::vector<int> codes;
  std::vector<std::string> errors;
  int majors = 0, cancelAfter = -1;

  SplitCall(const std::string& zip, const std::string& volumePath) : items("\"" + zip + "\""), volumes(volumePath) {
    r.recordSize = sizeof r;
    r.functionCode = dz::ZIP_ADD;
    r.NoDirectoryNamesFlag = dz::kDzTrue;
    r.wMultiVolControl = dz::MV_USEMULTI | dz::MV_TOHD;
    r.wZipSubOptions = dz::ZSO_MINORCANCEL;
    r.lpszItemList = items.c_str();
    r.lpszZipFile = volumes.c_str();
    r.reserved3 = &size;
    r.MajorCallback = &Major;
    r.majorUserData = this;
    r.MessageCallback = &Message;
    r.messageUserData = this;
  }
  int Run(int64_t volumeSize) {
    size = volumeSize;
    return Dzip()(&r);
  }
  static int32_t __stdcall Major(const char*, int32_t, void* u) {
    auto* c = static_cast<SplitCall*>(u);
    return c->cancelAfter >= 0 && ++c->majors > c->cancelAfter ? -1 : 0;
  }
  static int32_t __stdcall Message(int32_t id, int32_t, int32_t p1, int32_t, char* s1, char*, void* u) {
    auto* c = static_cast<SplitCall*>(u);
    if (id == dz::DZ_MSG_ERROR) {
      c->codes.push_back(p1);
      c->errors.push_back(s1);
    }
    return 1;
  }
};

// Reads the set record by record: sizes, the split signature, every local header, central
// header and the end records inside one volume, the disk numbers and offsets consistent.
// Prints the number of volumes and the size of the first one.
const char* kCheckSet = R"(import os, struct, sys
folder, stem, cap = sys.argv[1], sys.argv[2], int(sys.argv[3])
vols, n = [], 1
while os.path.exists(os.path.join(folder, '%s.z%02d' % (stem, n))):
    vols.append(open(os.path.join(folder, '%s.z%02d' % (stem, n)), 'rb').read()); n += 1
vols.append(open(os.path.join(folder, stem + '.zip'), 'rb').read())
assert all(len(v) <= cap for v in vols), [len(v) for v in vols]
assert vols[0][:4] == b'PK\x07\x08', 'no split signature'
last = vols[-1]
e = last.rfind(b'PK\x05\x06')
assert e >= 0 and e + 22 + struct.unpack('<H', last[e+20:e+22])[0] == len(last), 'end record'
disk, cdisk, here, total, cdsize, cdoff = struct.unpack('<HHHHII', last[e+4:e+20])
if last[e-20:e-16] == b'PK\x06\x07':
    zdisk, zoff, ndisks = struct.unpack('<IQI', last[e-16:e])
    assert zdisk == len(vols) - 1 and ndisks == len(vols)
    z = last[zoff:zoff+56]
    assert z[:4] == b'PK\x06\x06' and zoff + 56 == e - 20
    disk, cdisk, here, total, cdsize, cdoff = struct.unpack('<IIQQQQ', z[16:56])
assert disk == len(vols) - 1, (disk, len(vols))
d, off, seen, onlast = cdisk, cdoff, 0, 0
for i in range(total):
    if off == len(vols[d]): d, off = d + 1, 0
    h = vols[d][off:off+46]
    assert h[:4] == b'PK\x01\x02', ('central', i, d, off)
    nl, ml, kl = struct.unpack('<HHH', h[28:34])
    assert off + 46 + nl + ml + kl <= len(vols[d]), 'central header crosses a volume'
    ldisk, loff = struct.unpack('<H', h[34:36])[0], struct.unpack('<I', h[42:46])[0]
    x, q = vols[d][off+46+nl:off+46+nl+ml], 0
    while q + 4 <= len(x):
        tag, ln = struct.unpack('<HH', x[q:q+4])
        if tag == 1:
            f = x[q+4:q+4+ln]; p = 0
            for field, pos in ((h[24:28], 0), (h[20:24], 0)):
                if field == b'\xff' * 4: p += 8
            if h[42:46] == b'\xff' * 4: loff = struct.unpack('<Q', f[p:p+8])[0]; p += 8
            if h[34:36] == b'\xff' * 2: ldisk = struct.unpack('<I', f[p:p+4])[0]
        q += 4 + ln
    lh = vols[ldisk][loff:loff+30]
    assert lh[:4] == b'PK\x03\x04', ('local', i, ldisk, loff)
    ln, lm = struct.unpack('<HH', lh[26:30])
    assert loff + 30 + ln + lm <= len(vols[ldisk]), 'local header crosses a volume'
    onlast += d == len(vols) - 1
    seen += 46 + nl + ml + kl; off += 46 + nl + ml + kl
assert seen == cdsize, (seen, cdsize)
if off == len(vols[d]) and d + 1 < len(vols): d, off = d + 1, 0
assert d == len(vols) - 1 and here == onlast, ('entries on the last volume', here, onlast)
print(len(vols), len(vols[0]))
)";

// Names, contents, CRCs and the comment of two zips are the same.
const char* kSameEntries = R"(import sys, zipfile
a, b = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2])
assert a.comment == b.comment
assert [i.filename for i in a.infolist()] == [i.filename for i in b.infolist()]
for i, j in zip(a.infolist(), b.infolist()):
    assert (i.CRC, i.compress_type, i.file_size) == (j.CRC, j.compress_type, j.file_size), i.filename
    assert a.read(i) == b.read(j), i.filename
)";

std::string Shell(const std::string& folder, const std::string& command) {
  std::string out;
  const int rc = qbtest::RunUnix("cd '" + qbtest::ToUnixPath(folder) + "' && " + command, &out);
  EXPECT_EQ(rc, 0) << command << "\n" << out;
  return out;
}

// Checks a set in dir/vols (stem "set") made from dir/src.zip; returns "volumes firstSize".
// zipJoins false leaves out zip -s 0, which cannot rejoin entries with data descriptors.
std::string CheckSet(const TempDir& dir, int64_t cap, bool zipJoins = true) {
  qbtest::WriteFile(dir / "check.py", kCheckSet);
  qbtest::WriteFile(dir / "same.py", kSameEntries);
  const std::string layout = Shell(dir.path(), "python3 check.py vols set " + std::to_string(cap));
  Shell(dir.path(), "7z t vols/set.zip >/dev/null && rm -rf x && 7z x -ox vols/set.zip >/dev/null && "
                    "rm -rf y && mkdir y && cd y && unzip -q ../src.zip && diff -r . ../x");
  if (zipJoins)
    Shell(dir.path(), "rm -f whole.zip && zip -q -s 0 vols/set.zip --out whole.zip && unzip -tq whole.zip && "
                      "python3 same.py src.zip whole.zip");
  // Our own join gives back the same entries.
  qbtest::RemoveTree(dir / "joined");
  qbtest::MakeDirs(dir / "joined");
  Recorded rec;
  EXPECT_EQ(rec.Run(dir / "vols\\set.zip", "*.*", dir / "joined\\", {F::RecurseFlag}, {S::USO_MINORCANCEL, S::USO_MVFROMHD}), 0);
  Shell(dir.path(), "python3 same.py src.zip joined/set.zip");
  return tk::Trim(layout);
}

int64_t Number(const std::string& text, const std::string& key) {
  const size_t at = text.find(key + "=");
  return at == std::string::npos ? -1 : std::stoll(text.substr(at + key.size() + 1));
}

}  // namespace

// Splits a zip of a small tree at the smallest volume size and checks the set: the volumes
// named in order, each full but the last. The files are under 64 KiB, each crossing at
// most one boundary (zip -s 0 mangles some entries that spread over three volumes, also in
// sets it made itself). Streamed: every file entry carries a data descriptor, and one more
// file spreads over three volumes.
void SplitTree(const TempDir& dir, bool streamed, int volumes) {
  Python(dir.path(),
         "import os, random\n"
         "random.seed(11)\n"
         "os.makedirs('tree/sub', exist_ok=True)\n"
         "for n in ('tree/a.bin', 'tree/c.bin', 'tree/sub/d.bin'):\n"
         "    open(n, 'wb').write(bytes(random.getrandbits(8) for _ in range(60000)))\n"
         "open('tree/sub/b.txt','w').write('line of text\\n' * 20000)\n"
         "open('tree/empty.txt','w').close()\n" +
             std::string(streamed ? "open('tree/long.bin','wb').write(bytes(random.getrandbits(8) for _ in range(150000)))\n"
                                  : ""));
  Sh(dir.path(), std::string(streamed ? "zip -q -r - tree | cat > src.zip" : "zip -q -r src.zip tree") + " && mkdir vols");
  SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
  ASSERT_EQ(call.Run(65536), 0) << (call.errors.empty() ? "" : call.errors[0]);
  EXPECT_EQ(CheckSet(dir, 65536, !streamed), std::to_string(volumes) + " 65536");
  const std::vector<std::string> names = qbtest::ListDir(dir / "vols");
  ASSERT_EQ(names.size(), size_t(volumes));   // no temporary left
  for (int i = 0; i + 1 < volumes; ++i) {
    char want[16];
    std::snprintf(want, sizeof want, "set.z%02d", i + 1);
    EXPECT_EQ(names[i], want);
    EXPECT_EQ(tk::FileSize(dir / ("vols\\" + names[i])), 65536);
  }
  EXPECT_EQ(names.back(), "set.zip");
}

TEST(VolumesSplit, SmallestVolumesPassOutsideToolsAndJoinBack) {
  TempDir dir;
  SplitTree(dir, false, 3);
}

TEST(VolumesSplit, DataDescriptorsStayWithTheirEntries) {
  TempDir dir;
  SplitTree(dir, true, 6);
}

TEST(VolumesSplit, BoundariesAtHeadersCentralDirectoryAndEndRecord) {
  TempDir dir;
  // Stored entries with known places: first.bin at 0, second.bin at lh2, third.txt at lh3,
  // the central directory at cd (three headers of 55, 56, 55 bytes), the end record after it.
  Python(dir.path(),
         "import random, zipfile\n"
         "random.seed(5)\n"
         "with zipfile.ZipFile('src.zip', 'w', zipfile.ZIP_STORED) as z:\n"
         "    z.writestr('first.bin', bytes(random.getrandbits(8) for _ in range(70000)))\n"
         "    z.writestr('second.bin', bytes(random.getrandbits(8) for _ in range(3000)))\n"
         "    z.writestr('third.txt', 'text ' * 100)\n"
         "    z.comment = b'set comment'\n"
         "z = zipfile.ZipFile('src.zip')\n"
         "i = z.infolist()\n"
         "open('layout.txt','w').write('lh2=%d lh3=%d cd=%d size=%d' % (i[1].header_offset, i[2].header_offset,"
         " z.start_dir, len(open('src.zip','rb').read())))\n");
  const std::string src = qbtest::ReadFile(dir / "layout.txt");
  // In the volumes everything sits 4 bytes later, after the split signature.
  const int64_t lh2 = Number(src, "lh2") + 4, cd = Number(src, "cd") + 4, size = Number(src, "size") + 4;
  ASSERT_EQ(cd + 166 + 22 + 11, size) << src;
  struct Case {
    const char* what;
    int64_t cap;
    std::string layout;   // volumes and the size of the first one
  } cases[] = {
      {"boundary one byte before a local header", lh2 - 1, "2 " + std::to_string(lh2 - 1)},
      {"boundary exactly at a local header", lh2, "2 " + std::to_string(lh2)},
      {"boundary inside a local header", lh2 + 10, "2 " + std::to_string(lh2)},
      {"boundary inside the first central header", cd + 20, "2 " + std::to_string(cd)},
      {"boundary between central headers", cd + 55, "2 " + std::to_string(cd + 55)},
      // The last central header moves with the end record.
      {"boundary exactly at the end record", cd + 166, "2 " + std::to_string(cd + 111)},
      {"boundary inside the end record", cd + 166 + 10, "2 " + std::to_string(cd + 111)},
      {"everything in one volume", size, "1 " + std::to_string(size)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qbtest::RemoveTree(dir / "vols");
    qbtest::MakeDirs(dir / "vols");
    SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
    ASSERT_EQ(call.Run(c.cap), 0) << (call.errors.empty() ? "" : call.errors[0]);
    EXPECT_EQ(CheckSet(dir, c.cap), c.layout);
  }
}

TEST(VolumesSplit, Zip64FormEntriesKeepTheirSizes) {
  TempDir dir;
  Python(dir.path(),
         "import random\n"
         "random.seed(9)\n"
         "open('a.bin','wb').write(bytes(random.getrandbits(8) for _ in range(200000)))\n");
  Sh(dir.path(), "zip -q -fz src.zip a.bin && mkdir vols");
  SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
  ASSERT_EQ(call.Run(70000), 0) << (call.errors.empty() ? "" : call.errors[0]);
  EXPECT_EQ(std::stoi(CheckSet(dir, 70000)), 3);
}

TEST(VolumesSplit, RefusedRecordsAndSourcesWriteNothing) {
  TempDir dir;
  Sh(dir.path(), "head -c 200000 /dev/urandom > r.bin && zip -q -0 src.zip r.bin && head -c 3000 /dev/urandom > junk.zip"
                 " && mkdir vols");
  auto expectRefused = [&](SplitCall& call, int64_t size, int code, const std::string& named) {
    EXPECT_EQ(call.Run(size), code);
    ASSERT_EQ(call.codes.size(), 1u);
    EXPECT_EQ(call.codes[0], code);
    EXPECT_NE(call.errors[0].find(named), std::string::npos) << call.errors[0];
    EXPECT_TRUE(qbtest::ListDir(dir / "vols").empty());
  };
  {
    SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
    expectRefused(call, 65535, dz::ZE_MVPARMS, "65535");
  }
  {
    SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
    call.r.reserved3 = nullptr;
    expectRefused(call, 65536, dz::ZE_MVPARMS, "size");
  }
  {
    SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
    call.r.wMultiVolControl = dz::MV_USEMULTI;   // volumes onto removable disks: not made here
    expectRefused(call, 65536, dz::ZE_MVPARMS, "MV_TOHD");
  }
  {
    SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
    call.r.functionCode = dz::ZIP_UPDATE;
    expectRefused(call, 65536, dz::ZE_MVPARMS, "function 4");
  }
  {
    SplitCall call(dir / "missing.zip", dir / "vols\\set.zip");
    expectRefused(call, 65536, dz::ZE_NAME, "missing.zip");
  }
  {
    SplitCall call(dir / "junk.zip", dir / "vols\\set.zip");
    expectRefused(call, 65536, dz::ZE_FORMAT, "junk.zip");
  }
  {
    SplitCall call(dir / "src.zip", dir / "no\\such\\set.zip");
    expectRefused(call, 65536, dz::ZE_CREAT, "set.z01");
  }
  {
    // The set would take the zip's own name: the zip stays as it was.
    const std::string before = qbtest::ReadFile(dir / "src.zip");
    SplitCall call(dir / "src.zip", dir / "src.zip");
    expectRefused(call, 65536, dz::ZE_MVPARMS, "src.zip");
    EXPECT_EQ(qbtest::ReadFile(dir / "src.zip"), before);
  }
  {
    // A local header longer than any volume can hold.
    Python(dir.path(),
           "import zipfile\n"
           "zi = zipfile.ZipInfo('n' * 1000)\n"
           "zi.extra = b'\\x99\\x99' + (64996).to_bytes(2, 'little') + bytes(64996)\n"
           "with zipfile.ZipFile('big.zip', 'w') as z: z.writestr(zi, 'x')\n");
    SplitCall call(dir / "big.zip", dir / "vols\\set.zip");
    expectRefused(call, 65536, dz::ZE_BIG, "does not fit");
  }
}

TEST(VolumesSplit, CancelRemovesEveryVolume) {
  TempDir dir;
  Sh(dir.path(), "head -c 400000 /dev/urandom > r.bin && zip -q -0 src.zip r.bin && mkdir vols");
  SplitCall call(dir / "src.zip", dir / "vols\\set.zip");
  call.cancelAfter = 3;   // a few volumes are written by then
  EXPECT_EQ(call.Run(65536), dz::ZE_ABORT);
  EXPECT_GT(call.majors, 3);
  EXPECT_TRUE(qbtest::ListDir(dir / "vols").empty());
  EXPECT_TRUE(call.errors.empty());   // a cancel is not an error
}
